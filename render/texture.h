// The binding rule for every texture drawn during a frame: a texture the
// driver has evicted is specified again from the image it was made from.
#pragma once
#include "data/mesh.h"

#include <cstdint>

// How the image's bytes are laid out: blue-green-red or blue-green-red-alpha.
enum class TextureKind { Rgb, Rgba };

// Binds `name` as the 2D texture of unit 0; when the driver reports it not
// resident, uploads it again from `image` the way the upload routines do.
void bindResident(uint32_t name, const TextureImage& image, TextureKind kind);
