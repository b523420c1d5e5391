// The flush: every pending batch drawn, with one upload of the stream
// vertices and one of the instances, then per batch the state that changed
// and one draw call. What the ES context holds is kept (State.applied), so
// that only changes are sent.
#include "gl/gles/flush.h"

#include "gl/gles/batches.h"

#include <algorithm>
#include <cstring>

namespace gles_layer {

void bindArrayBuffer(GLuint buffer) {
    if (State.applied.arrayBuffer == buffer) return;
    State.es.BindBuffer(gles::ARRAY_BUFFER, buffer);
    State.applied.arrayBuffer = buffer;
}

void bindVertexArray(GLuint array) {
    if (State.applied.vertexArray == array) return;
    State.es.BindVertexArray(array);
    State.applied.vertexArray = array;
}

void selectUnit(int esIndex) {
    if (State.applied.activeUnit == esIndex) return;
    State.es.ActiveTexture(gles::TEXTURE0 + GLenum(esIndex));
    State.applied.activeUnit = esIndex;
}

void bindOnUnit(int esIndex, GLuint esName) {
    if (State.applied.texture[esIndex] == esName) return;
    selectUnit(esIndex);
    State.es.BindTexture(GL_TEXTURE_2D, esName);
    State.applied.texture[esIndex] = esName;
}

void setCapabilityES(GLenum cap, bool on, int& applied) {
    if (applied == int(on)) return;
    if (on)
        State.es.Enable(cap);
    else
        State.es.Disable(cap);
    applied = on;
}

void applyDepthMask(bool on) {
    if (State.applied.depthMask == int(on)) return;
    State.es.DepthMask(on ? GL_TRUE : GL_FALSE);
    State.applied.depthMask = on;
}

void applyKey(const Batch& batch) {
    const DrawKey& key = batch.key;
    Applied& a = State.applied;
    setCapabilityES(GL_DEPTH_TEST, key.depthTest, a.depthTest);
    applyDepthMask(key.depthMask);
    setCapabilityES(GL_CULL_FACE, key.cull, a.cull);
    if (key.cull && a.frontFace != key.frontFace) {
        State.es.FrontFace(key.frontFace);
        a.frontFace = key.frontFace;
    }
    if (key.blend) {
        setCapabilityES(GL_BLEND, true, a.blend);
        if (a.blendSource != key.blendSource || a.blendDestination != key.blendDestination) {
            State.es.BlendFunc(key.blendSource, key.blendDestination);
            a.blendSource = key.blendSource;
            a.blendDestination = key.blendDestination;
        }
    } else if (!(a.blend == 1 && keepsOpaque(a.blendSource, a.blendDestination))) {
        // An opaque batch may stay under a blend that keeps it as it is.
        setCapabilityES(GL_BLEND, false, a.blend);
    }
    for (int slot = 0; slot < batch.slotCount; ++slot)
        bindOnUnit(esUnit(0, slot), State.textures[batch.slots[slot]].es);
    if (key.texture[1]) bindOnUnit(esUnit(1), State.textures[key.texture[1]].es);
    SentUniforms& sent = a.sent[a.program];
    if (key.kind == Kind::Points && sent.pointSize != key.pointSize) {
        State.es.Uniform1f(State.uniforms[a.program].pointSize, key.pointSize);
        sent.pointSize = key.pointSize;
    }
}

// The program for a batch, with the projection and the light, sent when they
// differ from what it was sent.
void useProgram(int which) {
    Applied& a = State.applied;
    if (a.program != which) {
        State.es.UseProgram(State.program[which]);
        a.program = which;
    }
    const Uniforms& u = State.uniforms[which];
    SentUniforms& sent = a.sent[which];
    float projection[16];
    const Matrix& p = State.stacks[ProjectionStack].back();
    for (size_t k = 0; k < 16; ++k)
        projection[k] = float(p[k]);
    if (!sent.known || std::memcmp(projection, sent.projection, sizeof projection) != 0) {
        State.es.UniformMatrix4fv(u.projection, 1, GL_FALSE, projection);
        std::memcpy(sent.projection, projection, sizeof projection);
    }
    static const float dark[4] = {0, 0, 0, 0};
    const float* light[4] = {State.lightPosition, State.light0 ? State.lightAmbient : dark,
                             State.light0 ? State.lightDiffuse : dark,
                             State.light0 ? State.lightSpecular : dark};
    const GLint locations[4] = {u.lightPosition, u.lightAmbient, u.lightDiffuse, u.lightSpecular};
    for (int k = 0; k < 4; ++k)
        if (!sent.known || std::memcmp(light[k], sent.light[k], sizeof sent.light[k]) != 0) {
            State.es.Uniform4fv(locations[k], 1, light[k]);
            std::memcpy(sent.light[k], light[k], sizeof sent.light[k]);
        }
    sent.known = true;
}

void applyViewport() {
    Applied& a = State.applied;
    GLint* v = a.viewport;
    if (std::memcmp(v, State.viewport, sizeof State.viewport) != 0) {
        State.es.Viewport(State.viewport[0], State.viewport[1], State.viewport[2],
                          State.viewport[3]);
        std::memcpy(v, State.viewport, sizeof State.viewport);
    }
}

void uploadStaticVertices() {
    const size_t size = State.staticVertices.size();
    if (size == State.staticUploaded) return;
    bindArrayBuffer(State.staticBuffer);
    const StaticVertex* data = State.staticVertices.data();
    if (size > State.staticCapacity) {
        State.staticCapacity = std::max(size, State.staticCapacity * 2);
        State.es.BufferData(gles::ARRAY_BUFFER, GLsizeiptr(State.staticCapacity * sizeof *data),
                            nullptr, gles::STATIC_DRAW);
        State.staticUploaded = 0;
    }
    State.es.BufferSubData(gles::ARRAY_BUFFER, GLintptr(State.staticUploaded * sizeof *data),
                           GLsizeiptr((size - State.staticUploaded) * sizeof *data),
                           data + State.staticUploaded);
    State.staticUploaded = size;
}

// Draws every pending batch: one upload of the stream vertices and one of the
// instances, then per batch the state that changed and one draw call.
void flushPending() {
    if (State.batchCount == 0) return;
    const GLESCalls& es = State.es;
    applyViewport();
    if (!State.streamVertices.empty()) {
        bindArrayBuffer(State.streamBuffer);
        es.BufferData(gles::ARRAY_BUFFER, GLsizeiptr(State.streamVertices.size() * sizeof(Vertex)),
                      State.streamVertices.data(), gles::STREAM_DRAW);
    }
    // Each batch's instances from an aligned offset; the buffer reaches a whole
    // block past the last one, as a bound range must.
    std::vector<uint8_t>& data = State.instanceData;
    data.clear();
    size_t end = 0;
    for (size_t b = 0; b < State.batchCount; ++b) {
        Batch& batch = State.batches[b];
        if (batch.geometry < 0) continue;
        const size_t align = State.blockAlignment;
        batch.instanceOffset = (data.size() + align - 1) / align * align;
        const size_t bytes = batch.instances.size() * sizeof(Instance);
        data.resize(batch.instanceOffset + bytes);
        std::memcpy(data.data() + batch.instanceOffset, batch.instances.data(), bytes);
        const size_t blocks = (batch.instances.size() + BlockInstances - 1) / BlockInstances;
        end = batch.instanceOffset + blocks * BlockBytes;
    }
    if (end > 0) {
        uploadStaticVertices();
        data.resize(end);
        es.BindBuffer(gles::UNIFORM_BUFFER, State.instanceBuffer);
        es.BufferData(gles::UNIFORM_BUFFER, GLsizeiptr(data.size()), data.data(),
                      gles::STREAM_DRAW);
    }
    for (size_t b = 0; b < State.batchCount; ++b) {
        Batch& batch = State.batches[b];
        useProgram(batch.slotCount > 1 ? SlotsProgram : SingleProgram);
        applyKey(batch);
        ++Counts.esDraws;
        if (batch.geometry < 0) {
            bindVertexArray(State.streamArray);
            es.DrawArrays(batch.mode, GLint(batch.first), GLsizei(batch.count));
        } else {
            const Geometry& g = State.geometries[size_t(batch.geometry)];
            bindVertexArray(State.staticArray);
            for (size_t first = 0; first < batch.instances.size(); first += BlockInstances) {
                const size_t count =
                    std::min(batch.instances.size() - first, size_t(BlockInstances));
                es.BindBufferRange(gles::UNIFORM_BUFFER, 0, State.instanceBuffer,
                                   GLintptr(batch.instanceOffset + first * sizeof(Instance)),
                                   GLsizeiptr(BlockBytes));
                es.DrawArraysInstanced(batch.mode, GLint(g.start), g.count, GLsizei(count));
            }
        }
        batch.instances.clear();
    }
    State.streamVertices.clear();
    State.batchCount = 0;
    State.opaqueRunStart = 0;
}

// Changes to the projection, the light or the viewport: what is pending is
// drawn with the values it was given first.
void globalsChanging() {
    flushPending();
}
} // namespace gles_layer
