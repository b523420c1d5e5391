// Lines wider than a pixel, which WebGL does not draw, as triangles.
#pragma once
#include "gl/gles/layer_state.h"

#include <vector>

namespace gles_layer {

// GL draws lines without antialiasing at their width rounded to a whole pixel.
float drawnLineWidth();
// Line segments (pairs of eye-space vertices) as two triangles each.
void appendWideLines(const std::vector<Vertex>& segments, std::vector<Vertex>& out);
} // namespace gles_layer
