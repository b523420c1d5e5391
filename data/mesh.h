// In-memory geometry and images, and their upload as OpenGL textures.
#pragma once
#include <cstdint>
#include <vector>

// One image: rows of tightly packed pixels, 3 bytes (blue, green, red) or
// 4 bytes (blue, green, red, alpha) each; the loader knows which.
struct TextureImage {
    uint8_t* pixels = nullptr; // owned
    int32_t width = 0;
    int32_t height = 0;
};

// Releases the pixels and sets them to null.
void destroyTextureImage(TextureImage& image);

struct MeshVertex {
    float x, y, z;
    float u, v;
    float nx, ny, nz;
    int32_t useCount;
};

struct MeshTriangle {
    int32_t a, b, c;
};

// A mesh. Race part meshes have every field set; shield and effect meshes only
// vertices, triangles and the counts, and are drawn vertex by vertex.
struct Mesh {
    MeshVertex* vertices = nullptr;   // owned
    MeshTriangle* triangles = nullptr; // owned
    TextureImage* image = nullptr;    // the race's texture table owns it
    float* positions = nullptr;       // owned draw array, 9 per triangle
    float* normals = nullptr;         // owned draw array, 9 per triangle
    float* texCoords = nullptr;       // owned draw array, 6 per triangle
    int32_t vertexCount = 0;
    int32_t triangleCount = 0;
    uint32_t texture = 0;

    Mesh() = default;
    ~Mesh();
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;
};

// Releases the owned arrays and sets them to null; leaves image and texture.
void destroyMesh(Mesh& mesh);

// The five upload calls: bind, linear filters, modulate, level 0 from BGR or BGRA bytes.
void uploadRgbTexture(uint32_t name, const TextureImage& image);
void uploadRgbaTexture(uint32_t name, const TextureImage& image);

// A background tile: uploadRgbTexture of the image halved `level` times (box
// filtered), wrapped at its edges as asked: clamped to them, or repeating
// where the driver cannot clamp. A screen that shows the tile smaller than it
// was painted gets the level it needs instead of sampling the large image
// sparsely and skipping its small stars; software renderers keep their fast
// path for plain linear filtering, which mipmaps would leave.
void uploadBackdropTexture(uint32_t name, const TextureImage& image, bool clampToEdge,
                           int32_t level);

// The next smaller mipmap level of `width` x `height` pixels of `bytesPerPixel`
// bytes (rows tightly packed): each side halved (down to 1), each pixel the
// rounded mean of the 2 x 2 block above it (the last row or column repeated
// for an odd side).
void halveImage(const uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                std::vector<uint8_t>& out);
