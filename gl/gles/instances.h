// Draws of cached copies as instances: each its modelview, colour and flags.
#pragma once
#include "gl/gles/layer_state.h"

namespace gles_layer {

// A draw of client arrays as instances of their cached copy; false when it
// must go through the stream instead.
bool drawInstanced(GLenum mode, GLint first, GLsizei count);
// A draw of cached geometry under the current modelview, colour and state.
void addInstance(int geometry, GLenum mode, const DrawKey& key, unsigned flags,
                 const float colour[4]);
// Whether a primitive begun now could be drawn as an instance of a cached copy.
bool primitiveMayInstance();
// Counts the runs of one cached primitive drawn again and again.
void noteRun(int shape);
// Whether a cached primitive goes in as an instance.
bool instanceTakes(int shape);
} // namespace gles_layer
