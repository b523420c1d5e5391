// The cached copies of client arrays and of primitives drawn again and again,
// kept in the static buffer and drawn as instances.
#pragma once
#include "gl/gles/layer_state.h"

namespace gles_layer {

// The cached copy of the client arrays' elements first .. first + count - 1.
int cachedGeometry(GLint first, GLsizei count);
// Drops every cached copy of arrays and primitives.
void forgetCachedGeometry();

constexpr int Vanishes = -2;
// The cached copy of the primitive just ended (glEnd), -1 or Vanishes.
int cachedShape();
} // namespace gles_layer
