// tinygltf as the forge uses it: buffers through our file callbacks, images
// kept encoded for stb (ours), no file writing. Every file that includes
// tiny_gltf.h does so through here, so that all see the same settings.
#pragma once
#define TINYGLTF_NO_FS
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#include <tiny_gltf.h>
