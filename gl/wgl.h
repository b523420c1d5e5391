// The pixel-format request and the wgl wrapper family: pixel-format and
// context calls go to the system's own functions or to the driver library's
// wgl functions. The routing lives here; the Windows glue only supplies the
// system's functions and the window handles.
#pragma once
#include "gl/gl_types.h"

#include <cstdint>

using DeviceContext = void*;
using RenderingContext = void*;

// Laid out exactly like the system's 40-byte PIXELFORMATDESCRIPTOR.
struct PixelFormatDescriptor {
    uint16_t nSize;
    uint16_t nVersion;
    uint32_t dwFlags;
    uint8_t iPixelType;
    uint8_t cColorBits;
    uint8_t cRedBits, cRedShift, cGreenBits, cGreenShift, cBlueBits, cBlueShift;
    uint8_t cAlphaBits, cAlphaShift;
    uint8_t cAccumBits, cAccumRedBits, cAccumGreenBits, cAccumBlueBits, cAccumAlphaBits;
    uint8_t cDepthBits;
    uint8_t cStencilBits;
    uint8_t cAuxBuffers;
    uint8_t iLayerType;
    uint8_t bReserved;
    uint32_t dwLayerMask;
    uint32_t dwVisibleMask;
    uint32_t dwDamageMask;
};
static_assert(sizeof(PixelFormatDescriptor) == 40);

constexpr uint32_t PfdDoubleBuffer = 0x00000001;
constexpr uint32_t PfdDrawToWindow = 0x00000004;
constexpr uint32_t PfdSupportOpenGL = 0x00000020;
constexpr uint8_t PfdTypeRgba = 0;
constexpr uint8_t PfdMainPlane = 0;

// A double-buffered RGBA window format with the given colour and depth bits.
PixelFormatDescriptor pixelFormatRequest(int colourBits, int depthBits);

// The system's own functions, tried first while DriverPixelFormatMode is clear.
// A null entry counts as a failing call (there is no system OpenGL natively).
struct SystemPixelFormatCalls {
    int (*choosePixelFormat)(DeviceContext dc, const PixelFormatDescriptor* request);
    int (*setPixelFormat)(DeviceContext dc, int format, const PixelFormatDescriptor* request);
    int (*describePixelFormat)(DeviceContext dc, int format, unsigned size,
                               PixelFormatDescriptor* out);
    int (*swapBuffers)(DeviceContext dc);
};
extern SystemPixelFormatCalls SystemPixelFormat;

// The wrappers. Each needs GLLibrary (0 or null without it) and looks its driver
// function up afresh on every call. The first three set DriverPixelFormatMode
// when they fall back to the driver's function.
int wrapChoosePixelFormat(DeviceContext dc, const PixelFormatDescriptor* request);
int wrapSetPixelFormat(DeviceContext dc, int format, const PixelFormatDescriptor* request);
int wrapDescribePixelFormat(DeviceContext dc, int format, unsigned size,
                            PixelFormatDescriptor* out);
int wrapSwapBuffers(DeviceContext dc);
RenderingContext wrapCreateContext(DeviceContext dc);
// Binds the extension entry points when the context differs from LastBoundContext.
int wrapMakeCurrent(DeviceContext dc, RenderingContext rc);
int wrapDeleteContext(RenderingContext rc);
int wrapSwapLayerBuffers(DeviceContext dc, unsigned planes);

// Chooses and sets the request's format on `dc`: 1 on success, 0 on failure.
int32_t SetupPixelFormat(DeviceContext dc, int colourBits, int depthBits);

// Windows only: points SystemPixelFormat at the GDI functions.
void installSystemPixelFormatCalls();
