#include "gl/multisample.h"

#include <cstdlib>
#include <cstring>

namespace {
// GLX attribute names (the GLX protocol's values).
constexpr int GlxRgba = 4;
constexpr int GlxDoubleBuffer = 5;
constexpr int GlxRedSize = 8;
constexpr int GlxGreenSize = 9;
constexpr int GlxBlueSize = 10;
constexpr int GlxDepthSize = 12;
constexpr int GlxSampleBuffers = 100000;
constexpr int GlxSamples = 100001;

// WGL_ARB_pixel_format and WGL_ARB_multisample names.
constexpr int WglDrawToWindow = 0x2001;
constexpr int WglAcceleration = 0x2003;
constexpr int WglSupportOpenGL = 0x2010;
constexpr int WglDoubleBuffer = 0x2011;
constexpr int WglPixelType = 0x2013;
constexpr int WglColorBits = 0x2014;
constexpr int WglDepthBits = 0x2022;
constexpr int WglFullAcceleration = 0x2027;
constexpr int WglTypeRgba = 0x202B;
constexpr int WglSampleBuffers = 0x2041;
constexpr int WglSamples = 0x2042;
} // namespace

int samplesToAskFor(const char* setting, const char* renderer) {
    if (setting && *setting) {
        char* end = nullptr;
        const long samples = std::strtol(setting, &end, 10);
        if (*end == '\0' && samples >= 0 && samples <= 16) return static_cast<int>(samples);
    }
    return isSoftwareRenderer(renderer) ? 0 : WantedSamples;
}

std::vector<int> glxVisualAttributes(int samples) {
    std::vector<int> list = {GlxRgba, GlxDoubleBuffer, GlxRedSize, 1, GlxGreenSize, 1, GlxBlueSize,
                             1,       GlxDepthSize,    16};
    if (samples > 0) list.insert(list.end(), {GlxSampleBuffers, 1, GlxSamples, samples});
    list.push_back(0); // None
    return list;
}

std::vector<int> wglFormatAttributes(int colourBits, int depthBits, int samples) {
    return {WglDrawToWindow,
            1,
            WglSupportOpenGL,
            1,
            WglDoubleBuffer,
            1,
            WglPixelType,
            WglTypeRgba,
            WglAcceleration,
            WglFullAcceleration,
            WglColorBits,
            colourBits,
            WglDepthBits,
            depthBits,
            WglSampleBuffers,
            1,
            WglSamples,
            samples,
            0};
}

int multisampledFormat(int samples, int colourBits, int depthBits, FormatChooser choose,
                       void* context) {
    if (!choose) return 0;
    for (; samples >= 2; samples /= 2)
        if (const int format = choose(wglFormatAttributes(colourBits, depthBits, samples), context);
            format > 0)
            return format;
    return 0;
}

bool isSoftwareRenderer(const char* renderer) {
    if (!renderer) return false;
    for (const char* name : {"llvmpipe", "softpipe", "SwiftShader", "GDI Generic"})
        if (std::strstr(renderer, name)) return true;
    return false;
}
