#include "data/mesh.h"

#include "gl/gl_table.h"

#include <cstddef>
#include <vector>

void destroyTextureImage(TextureImage& image) {
    delete[] image.pixels;
    image.pixels = nullptr;
}

Mesh::~Mesh() {
    destroyMesh(*this);
}

void destroyMesh(Mesh& mesh) {
    delete[] mesh.vertices;
    delete[] mesh.triangles;
    delete[] mesh.positions;
    delete[] mesh.normals;
    delete[] mesh.texCoords;
    mesh.vertices = nullptr;
    mesh.triangles = nullptr;
    mesh.positions = nullptr;
    mesh.normals = nullptr;
    mesh.texCoords = nullptr;
}

namespace {
void uploadTexture(uint32_t name, const TextureImage& image, GLint components, GLenum format) {
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLfloat>(GL_LINEAR));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLfloat>(GL_LINEAR));
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_MODULATE));
    glTexImage2D(GL_TEXTURE_2D, 0, components, image.width, image.height, 0, format,
                 GL_UNSIGNED_BYTE, image.pixels);
}
} // namespace

void uploadRgbTexture(uint32_t name, const TextureImage& image) {
    uploadTexture(name, image, 3, GL_BGR_EXT);
}

void uploadRgbaTexture(uint32_t name, const TextureImage& image) {
    uploadTexture(name, image, 4, GL_BGRA_EXT);
}

void halveImage(const uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                std::vector<uint8_t>& out) {
    const int32_t w = width > 1 ? width / 2 : 1, h = height > 1 ? height / 2 : 1;
    out.resize(size_t(w) * size_t(h) * size_t(bytesPerPixel));
    for (int32_t y = 0; y < h; ++y) {
        const int32_t y0 = 2 * y < height ? 2 * y : height - 1;
        const int32_t y1 = y0 + 1 < height ? y0 + 1 : y0;
        for (int32_t x = 0; x < w; ++x) {
            const int32_t x0 = 2 * x < width ? 2 * x : width - 1;
            const int32_t x1 = x0 + 1 < width ? x0 + 1 : x0;
            for (int32_t c = 0; c < bytesPerPixel; ++c) {
                auto at = [&](int32_t px, int32_t py) {
                    return unsigned(
                        pixels[(size_t(py) * size_t(width) + size_t(px)) * size_t(bytesPerPixel) +
                               size_t(c)]);
                };
                const unsigned sum = at(x0, y0) + at(x1, y0) + at(x0, y1) + at(x1, y1);
                out[(size_t(y) * size_t(w) + size_t(x)) * size_t(bytesPerPixel) + size_t(c)] =
                    uint8_t((sum + 2) / 4);
            }
        }
    }
}

void uploadBackdropTexture(uint32_t name, const TextureImage& image, bool clampToEdge,
                           int32_t level) {
    // The level the screen needs, each the box-filtered half of the one above.
    std::vector<uint8_t> above, below;
    TextureImage reduced = image;
    for (int32_t i = 0; i < level && reduced.pixels && (reduced.width > 1 || reduced.height > 1);
         ++i) {
        halveImage(reduced.pixels, reduced.width, reduced.height, 3, below);
        reduced.width = reduced.width > 1 ? reduced.width / 2 : 1;
        reduced.height = reduced.height > 1 ? reduced.height / 2 : 1;
        above.swap(below);
        reduced.pixels = above.data();
    }
    uploadRgbTexture(name, reduced);
    const GLfloat wrap = static_cast<GLfloat>(clampToEdge ? GL_CLAMP_TO_EDGE : GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
}
