// The one place where tinyobjloader's, stb's and tinygltf's implementations are compiled.
// Their headers come from the build folder's copy, included as system headers.
#define TINYOBJLOADER_IMPLEMENTATION
#include <tiny_obj_loader.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_FAILURE_USERMSG
#include <stb/stb_image.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb/stb_image_resize.h>

#define TINYGLTF_IMPLEMENTATION
#include "tools/forge/gltf_loader.h"
