// The program's vertices into eye space, and its GL 1.1 primitives into the
// stream.
#pragma once
#include "gl/gles/layer_state.h"

#include <cstring>
#include <vector>

namespace gles_layer {

// Element `index` of a float client array, `count` values at most.
inline void fetch(const ClientArray& array, GLint index, float* out, int count) {
    const size_t stride = array.stride ? size_t(array.stride) : size_t(array.size) * sizeof(float);
    const auto* base = static_cast<const uint8_t*>(array.pointer) + size_t(index) * stride;
    const int n = array.size < count ? array.size : count;
    std::memcpy(out, base, size_t(n) * sizeof(float));
}

inline bool arrayOn(const ClientArray& array) {
    return array.enabled && array.pointer;
}

// A vertex into eye space with its colour and texture coordinates, through
// the current matrices; `flags` say what the shader does with it.
void transformVertex(Vertex& v, const float in[4], const float normal[3], const float colour[4],
                     const float texCoord[Units][2], unsigned flags);
// Eye-space vertices in a GL 1.1 mode, as independent triangles, lines or
// points, into the stream.
void appendPrimitive(GLenum mode, const std::vector<Vertex>& in);
} // namespace gles_layer
