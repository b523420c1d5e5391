// The EGL types and names our EGL glue uses (values from the EGL registry), in
// one place for the Wayland windows' glue and the off-screen contexts. No EGL
// header: EGL is bound by name at run time, like GL.
#pragma once
#include <cstdint>

using EglBoolean = unsigned;
using EglInt = int32_t;
using EglDisplay = void*;
using EglConfig = void*;
using EglContext = void*;
using EglSurface = void*;

constexpr EglInt EglNone = 0x3038;
constexpr EglInt EglAlphaSize = 0x3021;
constexpr EglInt EglBlueSize = 0x3022;
constexpr EglInt EglGreenSize = 0x3023;
constexpr EglInt EglRedSize = 0x3024;
constexpr EglInt EglDepthSize = 0x3025;
constexpr EglInt EglSurfaceType = 0x3033;
constexpr EglInt EglRenderableType = 0x3040;
constexpr EglInt EglContextMajorVersion = 0x3098;
constexpr EglInt EglWindowBit = 0x0004;
constexpr EglInt EglOpenGLBit = 0x0008;
constexpr EglInt EglOpenGLES3Bit = 0x0040;
constexpr unsigned EglOpenGLESApi = 0x30A0;
constexpr unsigned EglOpenGLApi = 0x30A2;
constexpr unsigned EglPlatformSurfacelessMesa = 0x31DD;
