#include "gl/null_gl.h"

#include "gl/gl_table.h"

#include <cstring>
#include <string>

namespace {
std::string NullExtensions;
GLuint NextTextureName = 1;

template <typename R> R nullAnswer() { return R(); }
template <> void nullAnswer<void>() {}

#define KGL_CORE(ret, name, params, args)                                                          \
    ret KGL_APIENTRY null_##name params {                                                          \
        auto ignore = [](auto&&...) {};                                                            \
        ignore args;                                                                               \
        return nullAnswer<ret>();                                                                  \
    }
#define KGL_EXT KGL_CORE
#include "gl/gl_functions.inc"
#undef KGL_CORE
#undef KGL_EXT

GLboolean KGL_APIENTRY nullAreTexturesResident(GLsizei n, const GLuint*, GLboolean* residences) {
    for (GLsizei i = 0; i < n; ++i) residences[i] = GL_TRUE;
    return GL_TRUE;
}

void KGL_APIENTRY nullGenTextures(GLsizei n, GLuint* textures) {
    for (GLsizei i = 0; i < n; ++i) textures[i] = NextTextureName++;
}

void KGL_APIENTRY nullGetDoublev(GLenum, GLdouble* params) {
    for (int i = 0; i < 16; ++i) params[i] = (i % 5 == 0) ? 1.0 : 0.0;
}

const GLubyte* KGL_APIENTRY nullGetString(GLenum name) {
    static const char* vendor = "Kestrion null GL";
    const char* text = name == GL_EXTENSIONS ? NullExtensions.c_str() : vendor;
    return reinterpret_cast<const GLubyte*>(text);
}
} // namespace

void installNullGL(const char* extensions) {
    NullExtensions = extensions ? extensions : "";
#define KGL_CORE(ret, name, params, args) name = null_##name;
#define KGL_EXT KGL_CORE
#include "gl/gl_functions.inc"
#undef KGL_CORE
#undef KGL_EXT
    glAreTexturesResident = nullAreTexturesResident;
    glGenTextures = nullGenTextures;
    glGetDoublev = nullGetDoublev;
    glGetString = nullGetString;
}
