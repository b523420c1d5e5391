// Immediate mode and client arrays: what the program draws, taken into eye
// space on the CPU (so that draws under different modelviews share a batch)
// and split into the independent triangles, lines or points ES draws. A
// primitive that repeats one drawn before, and arrays the cache keeps, go in
// as instances instead.
#include "gl/gles/primitives.h"

#include "gl/gles/batches.h"
#include "gl/gles/caches.h"
#include "gl/gles/entry_points.h"
#include "gl/gles/instances.h"
#include "gl/gles/matrices.h"
#include "gl/gles/wide_lines.h"

namespace gles_layer {

void transformVertex(Vertex& v, const float in[4], const float normal[3], const float colour[4],
                     const float texCoord[Units][2], unsigned flags) {
    const float* m = State.modelview;
    for (int row = 0; row < 4; ++row)
        v.position[row] =
            m[row] * in[0] + m[4 + row] * in[1] + m[8 + row] * in[2] + m[12 + row] * in[3];
    if (flags & LitFlag) {
        const float* n = currentNormalRows();
        for (int row = 0; row < 3; ++row)
            v.normal[row] =
                n[row * 3] * normal[0] + n[row * 3 + 1] * normal[1] + n[row * 3 + 2] * normal[2];
    } else {
        v.normal[0] = v.normal[1] = v.normal[2] = 0.0f;
    }
    std::memcpy(v.colour, colour, sizeof v.colour);
    for (int unit = 0; unit < Units; ++unit) {
        float* out = v.texCoord[unit];
        if (!(flags & (Texture0Flag << unit))) {
            out[0] = out[1] = out[2] = 0.0f, out[3] = 1.0f;
            continue;
        }
        const float s = texCoord[unit][0], t = texCoord[unit][1];
        if (State.textureIdentity[unit]) {
            out[0] = s, out[1] = t, out[2] = 0.0f, out[3] = 1.0f;
            continue;
        }
        const float* tm = State.textureMatrix[unit];
        for (int row = 0; row < 4; ++row)
            out[row] = tm[row] * s + tm[4 + row] * t + tm[12 + row];
    }
    v.flags = float(flags);
}

// Eye-space vertices in a GL 1.1 mode, as independent triangles, lines or
// points, into the stream.
void appendPrimitive(GLenum mode, const std::vector<Vertex>& in) {
    std::vector<Vertex>& out = State.converted;
    out.clear();
    const size_t n = in.size();
    Kind kind = Kind::Triangles;
    switch (mode) {
    case Points:
        kind = Kind::Points;
        out = in;
        break;
    case GL_LINES:
    case LineStrip:
    case LineLoop:
        kind = Kind::Lines;
        if (mode == GL_LINES) {
            out.assign(in.begin(), in.begin() + std::ptrdiff_t(n & ~size_t(1)));
        } else {
            for (size_t k = 0; k + 1 < n; ++k)
                out.insert(out.end(), {in[k], in[k + 1]});
            if (mode == LineLoop && n > 2) out.insert(out.end(), {in[n - 1], in[0]});
        }
        break;
    case GL_TRIANGLES:
        out.assign(in.begin(), in.begin() + std::ptrdiff_t(n - n % 3));
        break;
    case TriangleStrip:
        // Every second triangle turned back, so that all keep the strip's facing.
        for (size_t k = 0; k + 2 < n; ++k)
            if (k % 2)
                out.insert(out.end(), {in[k + 1], in[k], in[k + 2]});
            else
                out.insert(out.end(), {in[k], in[k + 1], in[k + 2]});
        break;
    case TriangleFan:
    case Polygon:
        for (size_t k = 1; k + 1 < n; ++k)
            out.insert(out.end(), {in[0], in[k], in[k + 1]});
        break;
    case Quads:
    case QuadStrip: {
        const size_t step = mode == Quads ? 4 : 2;
        for (size_t k = 0; k + 3 < n; k += step) {
            // A quad strip's quad runs 0, 1, 3, 2.
            const Vertex& a = in[k];
            const Vertex& b = in[k + 1];
            const Vertex& c = in[mode == Quads ? k + 2 : k + 3];
            const Vertex& d = in[mode == Quads ? k + 3 : k + 2];
            out.insert(out.end(), {a, b, c, a, c, d});
        }
        break;
    }
    default:
        raise(gles::INVALID_ENUM);
        return;
    }
    unsigned flags = 0;
    DrawKey key = currentKey(kind, flags);
    if (kind == Kind::Lines && drawnLineWidth() > 1.0f) {
        // WebGL draws lines one pixel wide only.
        std::vector<Vertex> segments;
        segments.swap(out);
        appendWideLines(segments, out);
        key.kind = kind = Kind::Triangles;
        key.cull = false; // lines have no face to cull
    }
    if (out.empty()) return;
    const GLenum esMode = kind == Kind::Points  ? gles::POINTS
                          : kind == Kind::Lines ? GL_LINES
                                                : GL_TRIANGLES;
    unsigned slotFlags = 0;
    Batch& batch = streamBatch(key, esMode, slotFlags);
    if (slotFlags)
        for (Vertex& v : out)
            v.flags += float(slotFlags);
    State.streamVertices.insert(State.streamVertices.end(), out.begin(), out.end());
    batch.count += uint32_t(out.size());
    State.opaqueRunStart = State.batchCount;
}

// Under this blend, with depth writes off and colours unlit, a triangle whose
// corners are all wholly transparent changes no pixel: most of a shield
// bubble's triangles are such, until something hits it.
bool clearTrianglesVanish() {
    return State.primitive == GL_TRIANGLES && State.blend && !State.depthMask &&
           !(State.beginFlags & LitFlag) && State.blendSource == GL_SRC_ALPHA &&
           (State.blendDestination == GL_ONE_MINUS_SRC_ALPHA || State.blendDestination == One);
}

void KGL_APIENTRY ff_glBegin(GLenum mode) {
    if (State.inBegin) return raise(gles::INVALID_OPERATION);
    State.inBegin = true;
    State.primitive = mode;
    State.corners.clear();
    refreshTransform();
    State.beginFlags = currentFlags();
    State.dropsClear = clearTrianglesVanish();
    State.mayInstance = primitiveMayInstance();
}

// The primitive's vertices into eye space; under a blend where clear
// triangles vanish, those are left out.
void transformCorners() {
    const std::vector<LayerState::Corner>& corners = State.corners;
    State.vertices.resize(corners.size());
    size_t out = 0;
    for (size_t k = 0; k < corners.size(); ++k) {
        if (State.dropsClear && k % 3 == 0 && k + 2 < corners.size()) {
            const auto clear = [&](size_t i) { return corners[i].colour[3] <= 0.0f; };
            if (clear(k) && clear(k + 1) && clear(k + 2)) {
                k += 2;
                continue;
            }
        }
        const LayerState::Corner& c = corners[k];
        transformVertex(State.vertices[out++], c.position, c.normal, c.colour, c.texCoord,
                        State.beginFlags);
    }
    State.vertices.resize(out);
}

void KGL_APIENTRY ff_glEnd() {
    if (!State.inBegin) return raise(gles::INVALID_OPERATION);
    State.inBegin = false;
    ++Counts.draws;
    if (State.mayInstance) {
        const int shape = cachedShape();
        if (shape == Vanishes) return;
        noteRun(shape);
        if (shape >= 0 && instanceTakes(shape)) {
            unsigned flags = 0;
            const DrawKey key = currentKey(kindOf(State.primitive), flags);
            addInstance(shape, State.primitive, key, flags, State.corners[0].colour);
            return;
        }
    }
    transformCorners();
    appendPrimitive(State.primitive, State.vertices);
}

void KGL_APIENTRY ff_glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
    State.colour[0] = red, State.colour[1] = green, State.colour[2] = blue;
    State.colour[3] = alpha;
}

void KGL_APIENTRY ff_glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    ff_glColor4f(red, green, blue, 1.0f);
}

void KGL_APIENTRY ff_glNormal3f(GLfloat nx, GLfloat ny, GLfloat nz) {
    State.normal[0] = nx, State.normal[1] = ny, State.normal[2] = nz;
}

void KGL_APIENTRY ff_glTexCoord2f(GLfloat s, GLfloat t) {
    State.texCoord[0][0] = s, State.texCoord[0][1] = t;
}

void KGL_APIENTRY ff_glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (!State.inBegin) return; // outside glBegin GL leaves the result undefined
    State.corners.emplace_back();
    LayerState::Corner& c = State.corners.back();
    c.position[0] = x, c.position[1] = y, c.position[2] = z, c.position[3] = 1.0f;
    std::memcpy(c.normal, State.normal, sizeof c.normal);
    std::memcpy(c.colour, State.colour, sizeof c.colour);
    std::memcpy(c.texCoord, State.texCoord, sizeof c.texCoord);
}

void KGL_APIENTRY ff_glVertex2f(GLfloat x, GLfloat y) {
    ff_glVertex3f(x, y, 0.0f);
}

void KGL_APIENTRY ff_glMultiTexCoord2fARB(GLenum target, GLfloat s, GLfloat t) {
    const int unit = unitOf(target);
    if (unit < 0) return;
    State.texCoord[unit][0] = s, State.texCoord[unit][1] = t;
}

ClientArray* clientArray(GLenum array) {
    switch (array) {
    case GL_VERTEX_ARRAY:
        return &State.vertexArray;
    case GL_NORMAL_ARRAY:
        return &State.normalArray;
    case GL_TEXTURE_COORD_ARRAY:
        return &State.texCoordArray[State.clientUnit];
    default:
        raise(gles::INVALID_ENUM);
        return nullptr;
    }
}

void KGL_APIENTRY ff_glEnableClientState(GLenum array) {
    if (ClientArray* a = clientArray(array)) a->enabled = true;
}

void KGL_APIENTRY ff_glDrawArrays(GLenum mode, GLint first, GLsizei count) {
    if (first < 0 || count < 0) return raise(gles::INVALID_VALUE);
    if (mode > Polygon) return raise(gles::INVALID_ENUM);
    if (!arrayOn(State.vertexArray) || count == 0) return;
    refreshTransform();
    ++Counts.draws;
    if (drawInstanced(mode, first, count)) return;
    // Otherwise the arrays are read now and taken into eye space.
    const unsigned flags = currentFlags();
    State.vertices.resize(size_t(count));
    for (GLsizei k = 0; k < count; ++k) {
        float position[4] = {0, 0, 0, 1}, normal[3], texCoord[Units][2] = {};
        fetch(State.vertexArray, first + k, position, 4);
        if (arrayOn(State.normalArray))
            fetch(State.normalArray, first + k, normal, 3);
        else
            std::memcpy(normal, State.normal, sizeof normal);
        for (int unit = 0; unit < Units; ++unit) {
            if (arrayOn(State.texCoordArray[unit]))
                fetch(State.texCoordArray[unit], first + k, texCoord[unit], 2);
            else
                std::memcpy(texCoord[unit], State.texCoord[unit], sizeof texCoord[unit]);
        }
        transformVertex(State.vertices[size_t(k)], position, normal, State.colour, texCoord, flags);
    }
    appendPrimitive(mode, State.vertices);
}

void KGL_APIENTRY ff_glNormalPointer(GLenum type, GLsizei stride, const GLvoid* pointer) {
    if (type != GL_FLOAT) return raise(gles::INVALID_ENUM); // the program's arrays are float
    State.normalArray.size = 3;
    State.normalArray.stride = stride;
    State.normalArray.pointer = pointer;
}

void KGL_APIENTRY ff_glTexCoordPointer(GLint size, GLenum type, GLsizei stride,
                                       const GLvoid* pointer) {
    if (type != GL_FLOAT) return raise(gles::INVALID_ENUM);
    ClientArray& array = State.texCoordArray[State.clientUnit];
    array.size = size, array.stride = stride, array.pointer = pointer;
}

void KGL_APIENTRY ff_glVertexPointer(GLint size, GLenum type, GLsizei stride,
                                     const GLvoid* pointer) {
    if (type != GL_FLOAT) return raise(gles::INVALID_ENUM);
    State.vertexArray.size = size, State.vertexArray.stride = stride;
    State.vertexArray.pointer = pointer;
}
} // namespace gles_layer
