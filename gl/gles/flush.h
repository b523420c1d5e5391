// Drawing what the batches hold, sending ES only the state that changed.
#pragma once
#include "gl/gles/layer_state.h"

namespace gles_layer {

void bindOnUnit(int esIndex, GLuint esName);
void applyDepthMask(bool on);
// Draws every pending batch.
void flushPending();
// Changes to the projection, the light or the viewport: what is pending is
// drawn with the values it was given first.
void globalsChanging();
} // namespace gles_layer
