// Instances: a draw of a cached copy goes in as its modelview, normal rows,
// colour and switches (112 bytes) instead of every vertex in eye space. The
// instances come from a uniform block, one range of it per batch.
#include "gl/gles/instances.h"

#include "gl/gles/batches.h"
#include "gl/gles/caches.h"
#include "gl/gles/matrices.h"
#include "gl/gles/primitives.h"
#include "gl/gles/wide_lines.h"

#include <algorithm>
#include <cstring>

namespace gles_layer {

// A draw of client arrays as instances of their cached copy; false when it
// must go through the stream instead.
bool drawInstanced(GLenum mode, GLint first, GLsizei count) {
    if (mode > TriangleFan || !State.affine || State.vertexArray.size > 3) return false;
    const Kind kind = kindOf(mode);
    if (kind == Kind::Lines && drawnLineWidth() > 1.0f) return false;
    unsigned flags = 0;
    const DrawKey key = currentKey(kind, flags);
    if ((flags & LitFlag) && !arrayOn(State.normalArray)) return false;
    for (int unit = 0; unit < Units; ++unit)
        if ((flags & (Texture0Flag << unit)) &&
            (!State.textureIdentity[unit] || !arrayOn(State.texCoordArray[unit]) ||
             State.texCoordArray[unit].size > 2))
            return false;
    addInstance(cachedGeometry(first, count), mode, key, flags, State.colour);
    return true;
}

// A draw of cached geometry under the current modelview, colour and state:
// into the last batch, or for opaque draws any batch of their run, that
// draws the same geometry in a state it joins; else into a new batch.
void addInstance(int geometry, GLenum mode, const DrawKey& key, unsigned flags,
                 const float colour[4]) {
    Instance instance;
    const float* m = State.modelview;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            instance.modelview[row * 4 + column] = m[column * 4 + row];
    const float* n = (flags & LitFlag) ? currentNormalRows() : nullptr;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            instance.normalRows[row][column] = n && column < 3 ? n[row * 3 + column] : 0.0f;
    std::memcpy(instance.colour, colour, sizeof instance.colour);
    flagsOf(instance) = float(flags);

    // Opaque draws that write depth come out the same in any order (but for
    // exact ties in depth), so they join any batch of their run.
    const bool opaque = !key.blend && key.depthTest && key.depthMask;
    const size_t from =
        opaque ? State.opaqueRunStart : (State.batchCount > 0 ? State.batchCount - 1 : 0);
    for (size_t b = from; b < State.batchCount; ++b) {
        Batch& batch = State.batches[b];
        if (batch.geometry == geometry && batch.mode == mode && joins(batch, key)) {
            flagsOf(instance) += float(absorb(batch, key));
            batch.instances.push_back(instance);
            if (!opaque) State.opaqueRunStart = State.batchCount;
            return;
        }
    }
    if (!opaque) State.opaqueRunStart = State.batchCount + 1;
    Batch& batch = newBatch(key, mode, geometry);
    flagsOf(instance) += float(absorb(batch, key));
    batch.instances.push_back(instance);
}

// Whether a primitive begun now could be drawn as an instance of a cached copy.
bool primitiveMayInstance() {
    const GLenum mode = State.primitive;
    if (mode > TriangleFan || !State.affine) return false;
    if (kindOf(mode) == Kind::Lines && drawnLineWidth() > 1.0f) return false;
    for (int unit = 0; unit < Units; ++unit)
        if ((State.beginFlags & (Texture0Flag << unit)) && !State.textureIdentity[unit])
            return false;
    return true;
}

// A primitive drawn as a run of instances saves taking every vertex into eye
// space and sending it, but a batch of instances costs more calls than a batch
// of stream vertices and does not merge with other primitives.
constexpr uint32_t LongRun = 16;

void noteRun(int shape) {
    if (shape >= 0 && shape == State.runShape) {
        ++State.runLength;
        return;
    }
    if (State.runShape >= 0 && size_t(State.runShape) < State.geometries.size())
        State.geometries[size_t(State.runShape)].lastRun = State.runLength;
    State.runShape = shape;
    State.runLength = 1;
}

// Whether a cached primitive goes in as an instance: it continues a batch of
// its instances, or its runs are long.
bool instanceTakes(int shape) {
    if (State.batchCount > 0) {
        const Batch& last = State.batches[State.batchCount - 1];
        if (last.geometry == shape && last.mode == State.primitive) return true;
    }
    return std::max(State.geometries[size_t(shape)].lastRun, State.runLength) >= LongRun;
}
} // namespace gles_layer
