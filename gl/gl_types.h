// OpenGL scalar types and calling convention, ours: no system GL header is used.
#pragma once

#if defined(_WIN32)
#define KGL_APIENTRY __stdcall
#else
#define KGL_APIENTRY
#endif

using GLenum = unsigned int;
using GLboolean = unsigned char;
using GLbitfield = unsigned int;
using GLint = int;
using GLsizei = int;
using GLuint = unsigned int;
using GLubyte = unsigned char;
using GLfloat = float;
using GLclampf = float;
using GLdouble = double;
using GLvoid = void;
