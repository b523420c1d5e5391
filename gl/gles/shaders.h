// The layer's shader programs and buffers.
#pragma once
#include "gl/gles/layer_state.h"

#include <string>

namespace gles_layer {

// The ES objects of a fresh context: the programs, the buffers, the unpacking.
bool makeESObjects(std::string& error);
} // namespace gles_layer
