// Textures, pixel transfers and the restore after a lost context. The
// program's texture names are the layer's own, each backed by an ES texture,
// so that a context made again can back them with new ones; uploads and
// read-backs are converted here, ES always sees tight rows.
#include "gl/gles/textures.h"

#include "gl/gles/caches.h"
#include "gl/gles/entry_points.h"
#include "gl/gles/flush.h"
#include "gl/gles/shaders.h"

#include <cstring>

namespace gles_layer {

bool textureComplete(GLuint name) {
    if (name == 0 || name >= State.textures.size()) return false;
    const TextureRecord& record = State.textures[name];
    return record.hasImage && !record.wantsMipmaps;
}

TextureRecord& recordOf(GLuint name) {
    if (name >= State.textures.size()) State.textures.resize(size_t(name) + 1);
    return State.textures[name];
}

namespace {
// The conversion buffer keeps room for the uploads that come often (a race's
// skins and sprites, 1 MB at most); after one as large as a sky tile or a
// screenshot it is given back, not kept for the rest of the run.
constexpr size_t KeptConversionBytes = size_t(1) << 20;
void giveBackLargeConversion() {
    if (State.pixels.capacity() > KeptConversionBytes) std::vector<uint8_t>().swap(State.pixels);
}
} // namespace

// Bytes a row of `width` pixels of `components` bytes takes under an alignment.
size_t rowBytes(GLsizei width, int components, GLint alignment) {
    const size_t bytes = size_t(width) * size_t(components);
    const size_t align = alignment > 0 ? size_t(alignment) : 1;
    return (bytes + align - 1) / align * align;
}

int componentsOf(GLenum format) {
    switch (format) {
    case GL_RGB:
    case GL_BGR_EXT:
        return 3;
    case GL_RGBA:
    case GL_BGRA_EXT:
        return 4;
    case Luminance:
        return 1;
    default:
        return 0;
    }
}

// The colour of one pixel in a client format, as red, green, blue, alpha.
void readPixel(const uint8_t* p, GLenum format, uint8_t rgba[4]) {
    switch (format) {
    case GL_RGB:
        rgba[0] = p[0], rgba[1] = p[1], rgba[2] = p[2], rgba[3] = 255;
        break;
    case GL_BGR_EXT:
        rgba[0] = p[2], rgba[1] = p[1], rgba[2] = p[0], rgba[3] = 255;
        break;
    case GL_RGBA:
        rgba[0] = p[0], rgba[1] = p[1], rgba[2] = p[2], rgba[3] = p[3];
        break;
    case GL_BGRA_EXT:
        rgba[0] = p[2], rgba[1] = p[1], rgba[2] = p[0], rgba[3] = p[3];
        break;
    default:
        rgba[0] = rgba[1] = rgba[2] = p[0], rgba[3] = 255;
        break;
    }
}

// The program's texture on the active unit, bound on its ES unit for an upload.
bool bindForUpload() {
    const GLuint name = State.boundTexture[State.activeUnit];
    if (name == 0) return false; // WebGL has no texture object 0 to change
    bindOnUnit(esUnit(State.activeUnit), recordOf(name).es);
    return true;
}

// A new ES texture behind a program name.
void backName(GLuint name) {
    TextureRecord& record = recordOf(name);
    record = TextureRecord();
    record.live = true;
    State.es.GenTextures(1, &record.es);
}

GLboolean KGL_APIENTRY ff_glAreTexturesResident(GLsizei n, const GLuint* textures,
                                                GLboolean* residences) {
    // A texture is resident while it holds its image; after the context was
    // made again none does until the program uploads it once more.
    bool all = true;
    for (GLsizei i = 0; i < n; ++i) {
        const GLuint name = textures[i];
        all = all && name < State.textures.size() && State.textures[name].hasImage;
    }
    if (all) return GL_TRUE;
    for (GLsizei i = 0; i < n; ++i) {
        const GLuint name = textures[i];
        residences[i] = name < State.textures.size() && State.textures[name].hasImage;
    }
    return GL_FALSE;
}

void KGL_APIENTRY ff_glBindTexture(GLenum target, GLuint texture) {
    if (target != GL_TEXTURE_2D) return raise(gles::INVALID_ENUM);
    if (texture != 0 && !recordOf(texture).live) {
        // GL makes a texture of a name bound before it was generated.
        for (size_t k = 0; k < State.freeNames.size(); ++k)
            if (State.freeNames[k] == texture) {
                State.freeNames.erase(State.freeNames.begin() + std::ptrdiff_t(k));
                break;
            }
        backName(texture);
    }
    State.boundTexture[State.activeUnit] = texture;
}

void KGL_APIENTRY ff_glDeleteTextures(GLsizei n, const GLuint* textures) {
    if (n < 0) return raise(gles::INVALID_VALUE);
    flushPending();
    std::vector<GLuint> gone;
    for (GLsizei i = 0; i < n; ++i) {
        const GLuint name = textures[i];
        if (name == 0 || name >= State.textures.size() || !State.textures[name].live) continue;
        TextureRecord& record = State.textures[name];
        gone.push_back(record.es);
        for (GLuint& applied : State.applied.texture)
            if (applied == record.es) applied = Unknown;
        // A deleted texture that was bound leaves its unit with texture 0, as in GL.
        for (GLuint& bound : State.boundTexture)
            if (bound == name) bound = 0;
        record = TextureRecord();
        State.freeNames.push_back(name);
    }
    if (!gone.empty()) State.es.DeleteTextures(GLsizei(gone.size()), gone.data());
}

void KGL_APIENTRY ff_glGenTextures(GLsizei n, GLuint* textures) {
    if (n < 0) return raise(gles::INVALID_VALUE);
    for (GLsizei i = 0; i < n; ++i) {
        GLuint name = GLuint(State.textures.size());
        if (!State.freeNames.empty()) {
            name = State.freeNames.back();
            State.freeNames.pop_back();
        }
        backName(name);
        textures[i] = name;
    }
}

void KGL_APIENTRY ff_glPixelStorei(GLenum pname, GLint param) {
    // Kept here: uploads and read-backs are converted, ES always sees tight rows.
    if (param != 1 && param != 2 && param != 4 && param != 8) return raise(gles::INVALID_VALUE);
    if (pname == GL_UNPACK_ALIGNMENT)
        State.unpackAlignment = param;
    else if (pname == GL_PACK_ALIGNMENT)
        State.packAlignment = param;
    else
        raise(gles::INVALID_ENUM);
}

void KGL_APIENTRY ff_glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                                  GLenum type, GLvoid* pixels) {
    const int components = componentsOf(format);
    if (components < 3 || (type != GL_UNSIGNED_BYTE && type != GL_FLOAT))
        return raise(gles::INVALID_ENUM);
    if (width < 0 || height < 0) return raise(gles::INVALID_VALUE);
    flushPending();
    // ES reads RGBA bytes; the program's format and type are made from them.
    std::vector<uint8_t>& rgba = State.pixels;
    rgba.resize(size_t(width) * size_t(height) * 4);
    State.es.ReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    const size_t size = type == GL_FLOAT ? sizeof(float) : 1;
    const size_t row = rowBytes(width, components * int(size), State.packAlignment);
    const bool bgr = format == GL_BGR_EXT || format == GL_BGRA_EXT;
    for (GLsizei j = 0; j < height; ++j)
        for (GLsizei i = 0; i < width; ++i) {
            const uint8_t* from = &rgba[(size_t(j) * size_t(width) + size_t(i)) * 4];
            const uint8_t ordered[4] = {from[bgr ? 2 : 0], from[1], from[bgr ? 0 : 2], from[3]};
            uint8_t* to = static_cast<uint8_t*>(pixels) + size_t(j) * row +
                          size_t(i) * size_t(components) * size;
            for (int c = 0; c < components; ++c) {
                if (type == GL_FLOAT) {
                    const float value = ordered[c] / 255.0f;
                    std::memcpy(to + size_t(c) * sizeof(float), &value, sizeof value);
                } else {
                    to[c] = ordered[c];
                }
            }
        }
    giveBackLargeConversion();
}

void KGL_APIENTRY ff_glTexEnvf(GLenum, GLenum, GLfloat) {
    // MODULATE, GL's default, is the only mode the program sets and the one drawn.
}

void KGL_APIENTRY ff_glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width,
                                  GLsizei height, GLint border, GLenum format, GLenum type,
                                  const GLvoid* pixels) {
    const int from = componentsOf(format);
    int to = internalformat == GL_RGB ? 3 : internalformat == GL_RGBA ? 4 : internalformat;
    if (target != GL_TEXTURE_2D || from == 0 || type != GL_UNSIGNED_BYTE)
        return raise(gles::INVALID_ENUM);
    if (to != 3 && to != 4) return raise(gles::INVALID_VALUE);
    if (width < 0 || height < 0 || border != 0 || level < 0) return raise(gles::INVALID_VALUE);
    // Draws before the upload see the texture as it was.
    flushPending();
    // ES has no BGR order and takes the format the texture is stored in.
    std::vector<uint8_t>& converted = State.pixels;
    const void* data = nullptr;
    if (pixels) {
        converted.resize(size_t(width) * size_t(height) * size_t(to));
        const size_t row = rowBytes(width, from, State.unpackAlignment);
        for (GLsizei j = 0; j < height; ++j)
            for (GLsizei i = 0; i < width; ++i) {
                uint8_t rgba[4];
                readPixel(static_cast<const uint8_t*>(pixels) + size_t(j) * row +
                              size_t(i) * size_t(from),
                          format, rgba);
                std::memcpy(&converted[(size_t(j) * size_t(width) + size_t(i)) * size_t(to)], rgba,
                            size_t(to));
            }
        data = converted.data();
    }
    if (!bindForUpload()) return; // as for glTexParameterf
    const GLenum esFormat = to == 3 ? GL_RGB : GL_RGBA;
    State.es.TexImage2D(GL_TEXTURE_2D, level, GLint(esFormat), width, height, 0, esFormat,
                        GL_UNSIGNED_BYTE, data);
    giveBackLargeConversion();
    if (level == 0) recordOf(State.boundTexture[State.activeUnit]).hasImage = true;
}

void KGL_APIENTRY ff_glTexParameterf(GLenum target, GLenum pname, GLfloat param) {
    if (target != GL_TEXTURE_2D) return raise(gles::INVALID_ENUM);
    GLint value = GLint(param);
    if (value == GLint(Clamp)) value = GLint(gles::CLAMP_TO_EDGE); // ES lacks the border variant
    flushPending();
    if (pname == GL_TEXTURE_MIN_FILTER)
        recordOf(State.boundTexture[State.activeUnit]).wantsMipmaps =
            value != GLint(GL_LINEAR) && value != GLint(Nearest);
    if (bindForUpload()) State.es.TexParameteri(GL_TEXTURE_2D, pname, value);
}
} // namespace gles_layer

using namespace gles_layer;

bool restoreFixedFunctionLayer(std::string& error) {
    if (!State.es.CreateProgram) {
        error = "the fixed-function layer was never installed";
        return false;
    }
    // The old context's objects are gone with it; nothing pending can be drawn.
    State.batchCount = 0;
    State.opaqueRunStart = 0;
    State.streamVertices.clear();
    forgetCachedGeometry();
    State.program[0] = State.program[1] = State.vertexShader = 0;
    State.fragmentShader[0] = State.fragmentShader[1] = 0;
    if (!makeESObjects(error)) return false;
    for (size_t name = 1; name < State.textures.size(); ++name)
        if (State.textures[name].live) backName(GLuint(name));
    return true;
}
