// The system side of the wgl wrappers and the window's context set-up: GDI's
// pixel-format functions, the window's device context, the display-mode
// restore (none when the saver kept the desktop's mode) and the quit message.
#include "gl/wgl.h"
#include "gl/binding.h"
#include "gl/context.h"
#include "gl/gl_table.h"
#include "gl/multisample.h"

#include <cstddef>
#include <vector>
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

// What the frame-rate scripts ask for through KESTRION_BENCH_SAMPLES, if anything.
const char* SamplesSetting = nullptr;

using ChoosePixelFormatArb = BOOL(WINAPI*)(HDC, const int*, const FLOAT*, UINT, int*, UINT*);
struct ArbChoice {
    HDC dc;
    ChoosePixelFormatArb choose;
};

int chooseThroughArb(const std::vector<int>& attributes, void* context) {
    const ArbChoice& choice = *static_cast<const ArbChoice*>(context);
    int format = 0;
    UINT count = 0;
    if (!choice.choose(choice.dc, attributes.data(), nullptr, 1, &format, &count)) return 0;
    return count > 0 ? format : 0;
}

// wglChoosePixelFormatARB needs a current context, and a window's pixel format
// can be set once only: so a hidden window of our own gets the plain format and
// a context, which says what renderer this is and lends the ARB function for
// the real window's device context. 0 when there is no multisampled format.
int multisampledWindowFormat(HDC windowDC, int colourBits, int depthBits) {
    using MakeCurrent = BOOL(WINAPI*)(HDC, HGLRC);
    using DeleteContext = BOOL(WINAPI*)(HGLRC);
    auto makeCurrent = reinterpret_cast<MakeCurrent>(librarySymbol(GLLibrary, "wglMakeCurrent"));
    auto deleteContext =
        reinterpret_cast<DeleteContext>(librarySymbol(GLLibrary, "wglDeleteContext"));
    if (DriverPixelFormatMode || !makeCurrent || !deleteContext) return 0;

    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "KestrionSamples";
    const bool registered = RegisterClassA(&windowClass) != 0;
    HWND probe = CreateWindowExA(0, "KestrionSamples", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 instance, nullptr);
    int format = 0;
    if (probe) {
        HDC probeDC = GetDC(probe);
        const PixelFormatDescriptor request = pixelFormatRequest(colourBits, depthBits);
        const int plain = ChoosePixelFormat(probeDC, asSystem(&request));
        HGLRC context = nullptr;
        if (plain && SetPixelFormat(probeDC, plain, asSystem(&request)))
            context = static_cast<HGLRC>(wrapCreateContext(probeDC));
        if (context && makeCurrent(probeDC, context)) {
            const GLubyte* renderer = glGetString(GL_RENDERER);
            const int samples =
                samplesToAskFor(SamplesSetting, reinterpret_cast<const char*>(renderer));
            ArbChoice choice = {windowDC, reinterpret_cast<ChoosePixelFormatArb>(
                                              LookupExtension("wglChoosePixelFormatARB"))};
            if (samples > 0 && choice.choose)
                format =
                    multisampledFormat(samples, colourBits, depthBits, chooseThroughArb, &choice);
            makeCurrent(nullptr, nullptr);
        }
        if (context) deleteContext(context);
        ReleaseDC(probe, probeDC);
        DestroyWindow(probe);
    }
    if (registered) UnregisterClassA("KestrionSamples", instance);
    return format;
}

// The window's format: several samples a pixel where the driver offers them,
// else the described request.
int32_t setUpSmoothPixelFormat(DeviceContext dc, int colourBits, int depthBits) {
    HDC windowDC = static_cast<HDC>(dc);
    if (const int format = multisampledWindowFormat(windowDC, colourBits, depthBits)) {
        PIXELFORMATDESCRIPTOR descriptor = {};
        if (DescribePixelFormat(windowDC, format, sizeof descriptor, &descriptor) &&
            SetPixelFormat(windowDC, format, &descriptor))
            return 1;
    }
    return SetupPixelFormat(dc, colourBits, depthBits);
}
} // namespace

void installSystemPixelFormatCalls() {
    SystemPixelFormat.choosePixelFormat = gdiChoosePixelFormat;
    SystemPixelFormat.setPixelFormat = gdiSetPixelFormat;
    SystemPixelFormat.describePixelFormat = gdiDescribePixelFormat;
    SystemPixelFormat.swapBuffers = gdiSwapBuffers;
}

ContextSetUpCalls windowContextCalls(void (*restoreDisplayMode)(), const char* samplesSetting) {
    installSystemPixelFormatCalls();
    SamplesSetting = samplesSetting;
    ContextSetUpCalls calls = driverContextCalls();
    calls.setUpPixelFormat = setUpSmoothPixelFormat;
    calls.getDC = windowDC;
    calls.restoreDisplayMode = restoreDisplayMode;
    calls.postQuit = postQuit;
    return calls;
}
