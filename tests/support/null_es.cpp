#include "tests/support/null_es.h"

#include "gl/gles/gles_api.h"

#include <cstring>

namespace {
long long Calls = 0, Bytes = 0;
GLuint NextName = 1;

template <typename R> R nothing() {
    return R();
}
template <> void nothing<void>() {}

#define KGLES_NULL(ret, name, params)                                                              \
    template <typename... Ts> ret null_##name(Ts...) {                                             \
        ++Calls;                                                                                   \
        return nothing<ret>();                                                                     \
    }
KGLES_FUNCTIONS(KGLES_NULL)
#undef KGLES_NULL

void KGL_APIENTRY giveNames(GLsizei n, GLuint* names) {
    ++Calls;
    for (GLsizei i = 0; i < n; ++i)
        names[i] = NextName++;
}

GLuint KGL_APIENTRY giveShader(GLenum) {
    ++Calls;
    return NextName++;
}

GLuint KGL_APIENTRY giveProgram() {
    ++Calls;
    return NextName++;
}

void KGL_APIENTRY answerTrue(GLuint, GLenum, GLint* params) {
    ++Calls;
    *params = 1;
}

void KGL_APIENTRY takeData(GLenum, GLsizeiptr size, const void*, GLenum) {
    ++Calls;
    Bytes += size;
}

void KGL_APIENTRY takeSubData(GLenum, GLintptr, GLsizeiptr size, const void*) {
    ++Calls;
    Bytes += size;
}

const GLubyte* KGL_APIENTRY answerString(GLenum) {
    ++Calls;
    return reinterpret_cast<const GLubyte*>("OpenGL ES 3.0 null");
}
} // namespace

void* nullESLookup(const char* name) {
    if (!std::strcmp(name, "glGenBuffers") || !std::strcmp(name, "glGenTextures") ||
        !std::strcmp(name, "glGenVertexArrays"))
        return reinterpret_cast<void*>(giveNames);
    if (!std::strcmp(name, "glCreateShader")) return reinterpret_cast<void*>(giveShader);
    if (!std::strcmp(name, "glCreateProgram")) return reinterpret_cast<void*>(giveProgram);
    if (!std::strcmp(name, "glGetShaderiv") || !std::strcmp(name, "glGetProgramiv"))
        return reinterpret_cast<void*>(answerTrue);
    if (!std::strcmp(name, "glGetString")) return reinterpret_cast<void*>(answerString);
    if (!std::strcmp(name, "glBufferData")) return reinterpret_cast<void*>(takeData);
    if (!std::strcmp(name, "glBufferSubData")) return reinterpret_cast<void*>(takeSubData);
#define KGLES_FIND(ret, function, params)                                                          \
    if (!std::strcmp(name, "gl" #function)) {                                                      \
        ret(KGL_APIENTRY* pointer) params = null_##function;                                       \
        return reinterpret_cast<void*>(pointer);                                                   \
    }
    KGLES_FUNCTIONS(KGLES_FIND)
#undef KGLES_FIND
    return nullptr;
}

long long nullESCalls() {
    return Calls;
}

long long nullESBytes() {
    return Bytes;
}
