#include "data/mesh.h"

#include "gl/gl_table.h"

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
