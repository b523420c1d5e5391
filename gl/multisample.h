// Smooth edges: the pixel formats that ask for several samples a pixel, and
// which renderers are left without them. What the glue asks the window system
// for is decided here, so that it can be tested without one.
#pragma once
#include <vector>

// Samples a pixel the programs ask for where the driver offers them.
constexpr int WantedSamples = 4;

// The samples to ask for: the count `setting` holds (the frame-rate scripts'
// KESTRION_BENCH_SAMPLES, 0 to 16) when it holds one; otherwise none on a
// software renderer (GL_RENDERER `renderer`), where four samples cost more
// than half the frame rate, and WantedSamples elsewhere.
int samplesToAskFor(const char* setting, const char* renderer);

// glXChooseVisual's list for a double-buffered RGBA visual with a depth
// buffer of at least 16 bits, with `samples` samples a pixel when above 0.
std::vector<int> glxVisualAttributes(int samples);

// wglChoosePixelFormatARB's list for the window format the run asks for
// (double-buffered RGBA, `colourBits` and `depthBits`), with `samples` a pixel.
std::vector<int> wglFormatAttributes(int colourBits, int depthBits, int samples);

// The window system's answer to a list: a format (above 0) or 0.
using FormatChooser = int (*)(const std::vector<int>& attributes, void* context);

// The format for the first of `samples`, then fewer (halved down to 2), that
// the chooser offers; 0 when it offers none with samples.
int multisampledFormat(int samples, int colourBits, int depthBits, FormatChooser choose,
                       void* context);

// Whether GL_RENDERER names a renderer that draws on the CPU (Mesa's llvmpipe
// and softpipe, SwiftShader, Windows' own GDI Generic).
bool isSoftwareRenderer(const char* renderer);
