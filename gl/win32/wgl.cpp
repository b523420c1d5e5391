// The system side of the wgl wrappers and the window's context set-up: GDI's
// pixel-format functions, the window's device context, the display-mode
// restore (none when the saver kept the desktop's mode) and the quit message.
#include "gl/wgl.h"
#include "gl/context.h"

#include <cstddef>
#include <windows.h>

namespace {
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == sizeof(PixelFormatDescriptor));
static_assert(offsetof(PIXELFORMATDESCRIPTOR, dwFlags) == offsetof(PixelFormatDescriptor, dwFlags));
static_assert(offsetof(PIXELFORMATDESCRIPTOR, cColorBits) ==
              offsetof(PixelFormatDescriptor, cColorBits));
static_assert(offsetof(PIXELFORMATDESCRIPTOR, cDepthBits) ==
              offsetof(PixelFormatDescriptor, cDepthBits));
static_assert(offsetof(PIXELFORMATDESCRIPTOR, iLayerType) ==
              offsetof(PixelFormatDescriptor, iLayerType));
static_assert(offsetof(PIXELFORMATDESCRIPTOR, dwLayerMask) ==
              offsetof(PixelFormatDescriptor, dwLayerMask));
static_assert(offsetof(PIXELFORMATDESCRIPTOR, dwDamageMask) ==
              offsetof(PixelFormatDescriptor, dwDamageMask));
static_assert(PfdDoubleBuffer == PFD_DOUBLEBUFFER && PfdDrawToWindow == PFD_DRAW_TO_WINDOW &&
              PfdSupportOpenGL == PFD_SUPPORT_OPENGL && PfdTypeRgba == PFD_TYPE_RGBA &&
              PfdMainPlane == PFD_MAIN_PLANE);

const PIXELFORMATDESCRIPTOR* asSystem(const PixelFormatDescriptor* descriptor) {
    return reinterpret_cast<const PIXELFORMATDESCRIPTOR*>(descriptor);
}

int gdiChoosePixelFormat(DeviceContext dc, const PixelFormatDescriptor* request) {
    return ChoosePixelFormat(static_cast<HDC>(dc), asSystem(request));
}

int gdiSetPixelFormat(DeviceContext dc, int format, const PixelFormatDescriptor* request) {
    return SetPixelFormat(static_cast<HDC>(dc), format, asSystem(request));
}

int gdiDescribePixelFormat(DeviceContext dc, int format, unsigned size,
                           PixelFormatDescriptor* out) {
    return DescribePixelFormat(static_cast<HDC>(dc), format, size,
                               reinterpret_cast<PIXELFORMATDESCRIPTOR*>(out));
}

int gdiSwapBuffers(DeviceContext dc) {
    return SwapBuffers(static_cast<HDC>(dc));
}

DeviceContext windowDC(void* window) {
    return GetDC(static_cast<HWND>(window));
}

void postQuit() {
    PostQuitMessage(0);
}
} // namespace

void installSystemPixelFormatCalls() {
    SystemPixelFormat.choosePixelFormat = gdiChoosePixelFormat;
    SystemPixelFormat.setPixelFormat = gdiSetPixelFormat;
    SystemPixelFormat.describePixelFormat = gdiDescribePixelFormat;
    SystemPixelFormat.swapBuffers = gdiSwapBuffers;
}

ContextSetUpCalls windowContextCalls(void (*restoreDisplayMode)()) {
    installSystemPixelFormatCalls();
    ContextSetUpCalls calls = driverContextCalls();
    calls.getDC = windowDC;
    calls.restoreDisplayMode = restoreDisplayMode;
    calls.postQuit = postQuit;
    return calls;
}
