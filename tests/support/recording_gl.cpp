#include "tests/support/recording_gl.h"

#include <type_traits>

RecordingGLState RecordingGL;

namespace {
template <typename T> void addArgument(GLCall& call, T value) {
    if constexpr (std::is_pointer_v<T>)
        call.pointers.push_back(reinterpret_cast<const void*>(value));
    else
        call.args.push_back(static_cast<double>(value));
}

template <typename... A> void record(const char* name, A... args) {
    GLCall call;
    call.name = name;
    (addArgument(call, args), ...);
    RecordingGL.calls.push_back(std::move(call));
}

template <typename R> R noAnswer() { return R(); }
template <> void noAnswer<void>() {}

#define KGL_CORE(ret, name, params, args)                                                          \
    ret KGL_APIENTRY rec_##name params {                                                           \
        record(#name KGL_COMMA_ARGS args);                                                         \
        return noAnswer<ret>();                                                                    \
    }
#define KGL_COMMA_ARGS(...) __VA_OPT__(, ) __VA_ARGS__
#define KGL_EXT KGL_CORE
#include "gl/gl_functions.inc"
#undef KGL_CORE
#undef KGL_EXT

GLboolean KGL_APIENTRY recAreTexturesResident(GLsizei n, const GLuint* textures,
                                               GLboolean* residences) {
    record("glAreTexturesResident", n, textures, residences);
    GLboolean all = GL_TRUE;
    for (GLsizei i = 0; i < n; ++i) {
        bool evicted = RecordingGL.allNonResident || RecordingGL.nonResident.count(textures[i]);
        residences[i] = evicted ? GL_FALSE : GL_TRUE;
        RecordingGL.calls.back().args.push_back(textures[i]);
        if (evicted) all = GL_FALSE;
    }
    return all;
}

void KGL_APIENTRY recGenTextures(GLsizei n, GLuint* textures) {
    record("glGenTextures", n, textures);
    for (GLsizei i = 0; i < n; ++i) textures[i] = RecordingGL.nextTextureName++;
}

void KGL_APIENTRY recGetDoublev(GLenum pname, GLdouble* params) {
    record("glGetDoublev", pname, params);
    for (int i = 0; i < 16; ++i) params[i] = RecordingGL.matrix[i];
}

const GLubyte* KGL_APIENTRY recGetString(GLenum name) {
    record("glGetString", name);
    static const char* other = "Kestrion recording GL";
    const char* text = name == GL_EXTENSIONS ? RecordingGL.extensions.c_str()
                       : name == GL_VERSION  ? RecordingGL.version.c_str()
                                             : other;
    return reinterpret_cast<const GLubyte*>(text);
}
} // namespace

void installRecordingGL(const char* extensions) {
    RecordingGL = RecordingGLState();
    RecordingGL.extensions = extensions ? extensions : "";
#define KGL_CORE(ret, name, params, args) name = rec_##name;
#define KGL_EXT KGL_CORE
#include "gl/gl_functions.inc"
#undef KGL_CORE
#undef KGL_EXT
    glAreTexturesResident = recAreTexturesResident;
    glGenTextures = recGenTextures;
    glGetDoublev = recGetDoublev;
    glGetString = recGetString;
}

std::vector<GLCall> callsNamed(const std::string& name) {
    std::vector<GLCall> found;
    for (const auto& call : RecordingGL.calls)
        if (call.name == name) found.push_back(call);
    return found;
}

int findCall(const std::string& name, int from) {
    for (int i = from; i < static_cast<int>(RecordingGL.calls.size()); ++i)
        if (RecordingGL.calls[i].name == name) return i;
    return -1;
}

std::vector<std::string> callNames() {
    std::vector<std::string> names;
    for (const auto& call : RecordingGL.calls) names.push_back(call.name);
    return names;
}
