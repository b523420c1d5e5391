// The OpenGL ES 3.0 (WebGL 2) entry points and constants the fixed-function
// layer draws with, declared here and bound by name: no system header, and
// names of their own so they never meet the program table's globals.
#pragma once
#include "gl/gl_types.h"

#include <cstddef>

using GLchar = char;
using GLsizeiptr = std::ptrdiff_t;
using GLintptr = std::ptrdiff_t;

// ES_FUNCTION(return type, name, (parameters)); the pointer is es.name and is
// bound from "gl" + name.
#define KGLES_FUNCTIONS(ES_FUNCTION)                                                               \
    ES_FUNCTION(void, ActiveTexture, (GLenum texture))                                             \
    ES_FUNCTION(void, AttachShader, (GLuint program, GLuint shader))                               \
    ES_FUNCTION(void, BindAttribLocation, (GLuint program, GLuint index, const GLchar* name))      \
    ES_FUNCTION(void, BindBuffer, (GLenum target, GLuint buffer))                                  \
    ES_FUNCTION(void, BindBufferRange,                                                             \
                (GLenum target, GLuint index, GLuint buffer, GLintptr offset, GLsizeiptr size))    \
    ES_FUNCTION(void, BindTexture, (GLenum target, GLuint texture))                                \
    ES_FUNCTION(void, BindVertexArray, (GLuint array))                                             \
    ES_FUNCTION(void, BlendFunc, (GLenum sfactor, GLenum dfactor))                                 \
    ES_FUNCTION(void, BufferData,                                                                  \
                (GLenum target, GLsizeiptr size, const void* data, GLenum usage))                  \
    ES_FUNCTION(void, BufferSubData,                                                               \
                (GLenum target, GLintptr offset, GLsizeiptr size, const void* data))               \
    ES_FUNCTION(void, Clear, (GLbitfield mask))                                                    \
    ES_FUNCTION(void, ClearColor, (GLfloat r, GLfloat g, GLfloat b, GLfloat a))                    \
    ES_FUNCTION(void, CompileShader, (GLuint shader))                                              \
    ES_FUNCTION(GLuint, CreateProgram, ())                                                         \
    ES_FUNCTION(GLuint, CreateShader, (GLenum type))                                               \
    ES_FUNCTION(void, DeleteBuffers, (GLsizei n, const GLuint* buffers))                           \
    ES_FUNCTION(void, DeleteProgram, (GLuint program))                                             \
    ES_FUNCTION(void, DeleteShader, (GLuint shader))                                               \
    ES_FUNCTION(void, DeleteTextures, (GLsizei n, const GLuint* textures))                         \
    ES_FUNCTION(void, DeleteVertexArrays, (GLsizei n, const GLuint* arrays))                       \
    ES_FUNCTION(void, DepthMask, (GLboolean flag))                                                 \
    ES_FUNCTION(void, Disable, (GLenum cap))                                                       \
    ES_FUNCTION(void, DrawArrays, (GLenum mode, GLint first, GLsizei count))                       \
    ES_FUNCTION(void, DrawArraysInstanced,                                                         \
                (GLenum mode, GLint first, GLsizei count, GLsizei instances))                      \
    ES_FUNCTION(void, Enable, (GLenum cap))                                                        \
    ES_FUNCTION(void, EnableVertexAttribArray, (GLuint index))                                     \
    ES_FUNCTION(void, Finish, ())                                                                  \
    ES_FUNCTION(void, Flush, ())                                                                   \
    ES_FUNCTION(void, FrontFace, (GLenum mode))                                                    \
    ES_FUNCTION(void, GenBuffers, (GLsizei n, GLuint * buffers))                                   \
    ES_FUNCTION(void, GenTextures, (GLsizei n, GLuint * textures))                                 \
    ES_FUNCTION(void, GenVertexArrays, (GLsizei n, GLuint * arrays))                               \
    ES_FUNCTION(GLenum, GetError, ())                                                              \
    ES_FUNCTION(void, GetIntegerv, (GLenum pname, GLint * data))                                   \
    ES_FUNCTION(void, GetProgramInfoLog, (GLuint p, GLsizei size, GLsizei * length, GLchar * log)) \
    ES_FUNCTION(void, GetProgramiv, (GLuint program, GLenum pname, GLint * params))                \
    ES_FUNCTION(void, GetShaderInfoLog, (GLuint s, GLsizei size, GLsizei * length, GLchar * log))  \
    ES_FUNCTION(void, GetShaderiv, (GLuint shader, GLenum pname, GLint * params))                  \
    ES_FUNCTION(const GLubyte*, GetString, (GLenum name))                                          \
    ES_FUNCTION(GLuint, GetUniformBlockIndex, (GLuint program, const GLchar* name))                \
    ES_FUNCTION(GLint, GetUniformLocation, (GLuint program, const GLchar* name))                   \
    ES_FUNCTION(void, LinkProgram, (GLuint program))                                               \
    ES_FUNCTION(void, PixelStorei, (GLenum pname, GLint param))                                    \
    ES_FUNCTION(void, ReadPixels,                                                                  \
                (GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type, void* data))  \
    ES_FUNCTION(void, ShaderSource,                                                                \
                (GLuint shader, GLsizei count, const GLchar* const* text, const GLint* length))    \
    ES_FUNCTION(void, TexImage2D,                                                                  \
                (GLenum target, GLint level, GLint internalformat, GLsizei w, GLsizei h,           \
                 GLint border, GLenum format, GLenum type, const void* pixels))                    \
    ES_FUNCTION(void, TexParameteri, (GLenum target, GLenum pname, GLint param))                   \
    ES_FUNCTION(void, Uniform1i, (GLint location, GLint v0))                                       \
    ES_FUNCTION(void, Uniform1f, (GLint location, GLfloat v0))                                     \
    ES_FUNCTION(void, Uniform4fv, (GLint location, GLsizei count, const GLfloat* value))           \
    ES_FUNCTION(void, UniformBlockBinding, (GLuint program, GLuint block, GLuint binding))         \
    ES_FUNCTION(void, UniformMatrix3fv,                                                            \
                (GLint location, GLsizei count, GLboolean transpose, const GLfloat* value))        \
    ES_FUNCTION(void, UniformMatrix4fv,                                                            \
                (GLint location, GLsizei count, GLboolean transpose, const GLfloat* value))        \
    ES_FUNCTION(void, UseProgram, (GLuint program))                                                \
    ES_FUNCTION(void, VertexAttrib4f, (GLuint index, GLfloat x, GLfloat y, GLfloat z, GLfloat w))  \
    ES_FUNCTION(void, VertexAttribDivisor, (GLuint index, GLuint divisor))                         \
    ES_FUNCTION(void, VertexAttribPointer,                                                         \
                (GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,      \
                 const void* pointer))                                                             \
    ES_FUNCTION(void, Viewport, (GLint x, GLint y, GLsizei width, GLsizei height))

struct GLESCalls {
#define KGLES_SLOT(ret, name, params) ret(KGL_APIENTRY* name) params;
    KGLES_FUNCTIONS(KGLES_SLOT)
#undef KGLES_SLOT
};

// OpenGL ES 3.0 constants beyond the ones the program table already names.
namespace gles {
constexpr GLenum TEXTURE0 = 0x84C0;
constexpr GLenum ARRAY_BUFFER = 0x8892;
constexpr GLenum UNIFORM_BUFFER = 0x8A11;
constexpr GLenum UNIFORM_BUFFER_OFFSET_ALIGNMENT = 0x8A34;
constexpr GLuint INVALID_INDEX = 0xFFFFFFFFu;
constexpr GLenum STREAM_DRAW = 0x88E0;
constexpr GLenum STATIC_DRAW = 0x88E4;
constexpr GLenum FRAGMENT_SHADER = 0x8B30;
constexpr GLenum VERTEX_SHADER = 0x8B31;
constexpr GLenum COMPILE_STATUS = 0x8B81;
constexpr GLenum LINK_STATUS = 0x8B82;
constexpr GLenum INFO_LOG_LENGTH = 0x8B84;
constexpr GLenum POINTS = 0x0000;
constexpr GLenum LINE_LOOP = 0x0002;
constexpr GLenum LINE_STRIP = 0x0003;
constexpr GLenum ONE = 1;
constexpr GLenum ZERO = 0;
constexpr GLenum TRIANGLE_STRIP = 0x0005;
constexpr GLenum TRIANGLE_FAN = 0x0006;
constexpr GLenum NEAREST = 0x2600;
constexpr GLenum CLAMP_TO_EDGE = 0x812F;
constexpr GLenum INVALID_ENUM = 0x0500;
constexpr GLenum INVALID_VALUE = 0x0501;
constexpr GLenum INVALID_OPERATION = 0x0502;
constexpr GLenum STACK_OVERFLOW = 0x0503;
constexpr GLenum STACK_UNDERFLOW = 0x0504;
} // namespace gles
