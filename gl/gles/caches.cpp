// The array and primitive caches. Client arrays are copied once into the
// static buffer, known by where they lie and what their ends hold; a
// primitive seen twice is copied there too, known by a hash of its vertices.
// Either is then drawn per instance, each with its own modelview.
#include "gl/gles/caches.h"

#include "gl/gles/primitives.h"

#include <cstring>

namespace gles_layer {

// The cached copy of the arrays' elements first .. first + count - 1, made when
// missing; -1 when they cannot be cached.
int cachedGeometry(GLint first, GLsizei count) {
    const ClientArray* arrays[2 + Units] = {&State.vertexArray, &State.normalArray,
                                            &State.texCoordArray[0], &State.texCoordArray[1]};
    Geometry wanted;
    for (int k = 0; k < 2 + Units; ++k)
        if (arrayOn(*arrays[k])) {
            wanted.pointer[k] = arrays[k]->pointer;
            wanted.size[k] = arrays[k]->size;
            wanted.stride[k] = arrays[k]->stride;
        }
    wanted.first = first;
    wanted.count = count;
    fetch(State.vertexArray, first, wanted.ends[0], 3);
    fetch(State.vertexArray, first + count - 1, wanted.ends[1], 3);
    auto same = [&](const Geometry& g) {
        for (int k = 0; k < 2 + Units; ++k)
            if (g.pointer[k] != wanted.pointer[k] || g.size[k] != wanted.size[k] ||
                g.stride[k] != wanted.stride[k])
                return false;
        return g.first == first && g.count == count &&
               std::memcmp(g.ends, wanted.ends, sizeof g.ends) == 0;
    };
    std::vector<int>& known = State.geometryIndex[wanted.pointer[0]];
    for (int index : known)
        if (same(State.geometries[size_t(index)])) return index;

    if (State.staticVertices.size() + size_t(count) > StaticVertexLimit) {
        forgetFixedFunctionArrays();
        return cachedGeometry(first, count);
    }
    wanted.start = uint32_t(State.staticVertices.size());
    for (GLsizei k = 0; k < count; ++k) {
        StaticVertex v = {};
        fetch(State.vertexArray, first + k, v.position, 3);
        if (wanted.pointer[1]) fetch(State.normalArray, first + k, v.normal, 3);
        for (int unit = 0; unit < Units; ++unit)
            if (wanted.pointer[2 + unit])
                fetch(State.texCoordArray[unit], first + k, v.texCoord[unit], 2);
        State.staticVertices.push_back(v);
    }
    State.geometries.push_back(wanted);
    const int index = int(State.geometries.size() - 1);
    State.geometryIndex[wanted.pointer[0]].push_back(index);
    return index;
}

// Drops every cached copy of arrays and primitives; what is drawn next is
// cached again.
void forgetCachedGeometry() {
    State.geometries.clear();
    State.geometryIndex.clear();
    State.shapeIndex.clear();
    State.shapesSeen.clear();
    State.runShape = -1;
    State.staticVertices.clear();
    State.staticUploaded = 0;
}

uint64_t hashShape(const std::vector<StaticVertex>& shape) {
    // FNV-1a over 32-bit words.
    uint64_t hash = 14695981039346656037ull;
    const size_t words = shape.size() * sizeof(StaticVertex) / sizeof(uint32_t);
    const auto* data = reinterpret_cast<const uint32_t*>(shape.data());
    for (size_t k = 0; k < words; ++k)
        hash = (hash ^ data[k]) * 1099511628211ull;
    return hash ^ shape.size();
}

// The cached copy of the primitive just ended, when it has been drawn before:
// every vertex in one colour, and the same positions and, where the draw
// reads them, normals and texture coordinates. -1 otherwise; a primitive seen
// twice is cached, so shapes drawn once (beams) are never kept. Vanishes when
// the whole primitive is clear triangles that change no pixel.
int cachedShape() {
    const std::vector<LayerState::Corner>& corners = State.corners;
    if (corners.size() < 3) return -1;
    const float* colour = corners[0].colour;
    const bool lit = State.beginFlags & LitFlag;
    if (State.runShape >= 0 && !(State.dropsClear && colour[3] <= 0.0f)) {
        // Most often the primitive repeats the one before: compared in place.
        const Geometry& g = State.geometries[size_t(State.runShape)];
        if (size_t(g.count) == corners.size()) {
            const StaticVertex* v = &State.staticVertices[g.start];
            bool same = true;
            for (size_t k = 0; same && k < corners.size(); ++k) {
                const LayerState::Corner& c = corners[k];
                same = std::memcmp(c.colour, colour, sizeof c.colour) == 0 &&
                       c.position[3] == 1.0f &&
                       std::memcmp(c.position, v[k].position, sizeof v[k].position) == 0 &&
                       (!lit || std::memcmp(c.normal, v[k].normal, sizeof v[k].normal) == 0);
                for (int unit = 0; same && unit < Units; ++unit)
                    same = !(State.beginFlags & (Texture0Flag << unit)) ||
                           std::memcmp(c.texCoord[unit], v[k].texCoord[unit],
                                       sizeof v[k].texCoord[unit]) == 0;
            }
            if (same) return State.runShape;
        }
    }
    std::vector<StaticVertex>& shape = State.shape;
    shape.resize(corners.size());
    for (size_t k = 0; k < corners.size(); ++k) {
        const LayerState::Corner& c = corners[k];
        if (std::memcmp(c.colour, colour, sizeof c.colour) != 0 || c.position[3] != 1.0f) return -1;
        StaticVertex& v = shape[k];
        std::memcpy(v.position, c.position, sizeof v.position);
        if (lit)
            std::memcpy(v.normal, c.normal, sizeof v.normal);
        else
            v.normal[0] = v.normal[1] = v.normal[2] = 0.0f;
        for (int unit = 0; unit < Units; ++unit)
            if (State.beginFlags & (Texture0Flag << unit))
                std::memcpy(v.texCoord[unit], c.texCoord[unit], sizeof v.texCoord[unit]);
            else
                v.texCoord[unit][0] = v.texCoord[unit][1] = 0.0f;
    }
    if (State.dropsClear && colour[3] <= 0.0f) return Vanishes;
    const uint64_t hash = hashShape(shape);
    const auto known = State.shapeIndex.find(hash);
    if (known != State.shapeIndex.end()) {
        const Geometry& g = State.geometries[size_t(known->second)];
        const bool same = size_t(g.count) == shape.size() &&
                          std::memcmp(&State.staticVertices[g.start], shape.data(),
                                      shape.size() * sizeof(StaticVertex)) == 0;
        return same ? known->second : -1;
    }
    if (State.shapesSeen.size() > 4096) State.shapesSeen.clear();
    if (State.shapesSeen.insert(hash).second) return -1;
    if (State.staticVertices.size() + shape.size() > StaticVertexLimit) return -1;
    Geometry g;
    g.count = GLsizei(shape.size());
    g.start = uint32_t(State.staticVertices.size());
    State.staticVertices.insert(State.staticVertices.end(), shape.begin(), shape.end());
    State.geometries.push_back(g);
    const int index = int(State.geometries.size() - 1);
    State.shapeIndex.emplace(hash, index);
    return index;
}
} // namespace gles_layer
