// Textures: the program's names, each backed by an ES texture.
#pragma once
#include "gl/gles/layer_state.h"

namespace gles_layer {

// Whether GL would sample the texture: it holds an image and wants no mipmaps.
bool textureComplete(GLuint name);
} // namespace gles_layer
