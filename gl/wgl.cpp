#include "gl/wgl.h"

#include "gl/binding.h"

SystemPixelFormatCalls SystemPixelFormat = {};

namespace {
template <typename Function> Function driverFunction(const char* name) {
    return reinterpret_cast<Function>(librarySymbol(GLLibrary, name));
}

// The routing rule of the wrappers with a system function: the system's result
// when it is non-zero (unless DriverPixelFormatMode sends every call to the
// driver), otherwise the driver's function if the library has it.
template <typename Function, typename System, typename... Args>
int routeCall(System system, const char* driverName, bool fallbackSetsMode, Args... args) {
    if (!GLLibrary) return 0;
    if (!DriverPixelFormatMode && system) {
        int result = system(args...);
        if (result) return result;
    }
    auto driver = driverFunction<Function>(driverName);
    if (!driver) return 0;
    if (fallbackSetsMode) DriverPixelFormatMode = 1;
    return driver(args...);
}

using ChooseFunction = int(KGL_APIENTRY*)(DeviceContext, const PixelFormatDescriptor*);
using SetFunction = int(KGL_APIENTRY*)(DeviceContext, int, const PixelFormatDescriptor*);
using DescribeFunction = int(KGL_APIENTRY*)(DeviceContext, int, unsigned, PixelFormatDescriptor*);
using DriverSwapFunction = int(KGL_APIENTRY*)(DeviceContext);
using CreateFunction = RenderingContext(KGL_APIENTRY*)(DeviceContext);
using MakeCurrentFunction = int(KGL_APIENTRY*)(DeviceContext, RenderingContext);
using DeleteFunction = int(KGL_APIENTRY*)(RenderingContext);
using SwapLayerFunction = int(KGL_APIENTRY*)(DeviceContext, unsigned);
} // namespace

PixelFormatDescriptor pixelFormatRequest(int colourBits, int depthBits) {
    PixelFormatDescriptor request = {};
    request.nSize = sizeof(PixelFormatDescriptor);
    request.nVersion = 1;
    request.dwFlags = PfdDrawToWindow | PfdSupportOpenGL | PfdDoubleBuffer;
    request.iPixelType = PfdTypeRgba;
    request.cColorBits = static_cast<uint8_t>(colourBits);
    request.cAccumBits = 0;
    request.cDepthBits = static_cast<uint8_t>(depthBits);
    request.cStencilBits = 0;
    request.iLayerType = PfdMainPlane;
    request.dwLayerMask = 0;
    return request;
}

int wrapChoosePixelFormat(DeviceContext dc, const PixelFormatDescriptor* request) {
    return routeCall<ChooseFunction>(SystemPixelFormat.choosePixelFormat, "wglChoosePixelFormat",
                                     true, dc, request);
}

int wrapSetPixelFormat(DeviceContext dc, int format, const PixelFormatDescriptor* request) {
    return routeCall<SetFunction>(SystemPixelFormat.setPixelFormat, "wglSetPixelFormat", true, dc,
                                  format, request);
}

int wrapDescribePixelFormat(DeviceContext dc, int format, unsigned size,
                            PixelFormatDescriptor* out) {
    return routeCall<DescribeFunction>(SystemPixelFormat.describePixelFormat,
                                       "wglDescribePixelFormat", true, dc, format, size, out);
}

int wrapSwapBuffers(DeviceContext dc) {
    return routeCall<DriverSwapFunction>(SystemPixelFormat.swapBuffers, "wglSwapBuffers", false,
                                         dc);
}

RenderingContext wrapCreateContext(DeviceContext dc) {
    if (!GLLibrary) return nullptr;
    auto create = driverFunction<CreateFunction>("wglCreateContext");
    return create ? create(dc) : nullptr;
}

int wrapMakeCurrent(DeviceContext dc, RenderingContext rc) {
    if (!GLLibrary) return 0;
    auto makeCurrent = driverFunction<MakeCurrentFunction>("wglMakeCurrent");
    if (!makeCurrent) return 0;
    int result = makeCurrent(dc, rc);
    if (result && rc != LastBoundContext) {
        LastBoundContext = rc;
        BindExtensions();
    }
    return result;
}

int wrapDeleteContext(RenderingContext rc) {
    if (!GLLibrary) return 0;
    auto destroy = driverFunction<DeleteFunction>("wglDeleteContext");
    return destroy ? destroy(rc) : 0;
}

int wrapSwapLayerBuffers(DeviceContext dc, unsigned planes) {
    if (!GLLibrary) return 0;
    auto swap = driverFunction<SwapLayerFunction>("wglSwapLayerBuffers");
    return swap ? swap(dc, planes) : 0;
}

int32_t SetupPixelFormat(DeviceContext dc, int colourBits, int depthBits) {
    PixelFormatDescriptor request = pixelFormatRequest(colourBits, depthBits);
    int format = wrapChoosePixelFormat(dc, &request);
    if (format == 0) return 0;
    if (wrapSetPixelFormat(dc, format, &request) == 0) return 0;
    return 1;
}
