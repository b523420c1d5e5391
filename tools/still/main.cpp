// kestrion-still: pictures of the battle drawn as the web page draws it (our
// fixed-function layer over OpenGL ES, here on Mesa's surfaceless EGL), with
// the default data set, a fixed seed and the fake clock: the same frames on
// every run, for the wallpaper's preview.
//   kestrion-still PREFIX [--size WxH] [--ships N] [--from FRAME] [--count N] [--every N]
// writes PREFIX-01.png, PREFIX-02.png, ...: COUNT frames, EVERY frames apart
// from FRAME on, at 30 frames a second of battle.
#include "data/scene.h"
#include "gl/egl/surfaceless.h"
#include "gl/egl/surfaceless.h"
#include "gl/gl_state.h"
#include "gl/gl_table.h"
#include "gl/gles/fixed_function.h"
#include "platform/clock.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "shell/screenshot.h"
#include "tests/support/headless_battle.h"
#include "tools/forge/authoring.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {
constexpr uint32_t FrameMs = 33;

int usage() {
    std::fprintf(stderr, "usage: kestrion-still PREFIX [--size WxH] [--ships N] [--from FRAME] "
                         "[--count N] [--every N]\n");
    return 2;
}

// The screenshot code's rows (BGR, bottom row first, padded) as a top-down RGB picture.
Picture pictureOf(const ScreenshotPixels& pixels, int width, int height) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(size_t(width) * size_t(height) * 3);
    const size_t stride = bmpRowBytes(width);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = pixels.bytes.get() + stride * size_t(height - 1 - y);
        uint8_t* out = picture.pixels.data() + size_t(y) * size_t(width) * 3;
        for (int x = 0; x < width; ++x) {
            out[3 * x] = row[3 * x + 2];
            out[3 * x + 1] = row[3 * x + 1];
            out[3 * x + 2] = row[3 * x];
        }
    }
    return picture;
}

int still(const std::string& prefix, int width, int height, int ships, int from, int count,
          int every) {
    std::string error;
    if (!configureHeadlessBattle(ships, 1000000, 2026, &error)) {
        std::fprintf(stderr, "kestrion-still: cannot write the data set: %s\n", error.c_str());
        return 1;
    }
    error = makeSurfacelessContext(SurfacelessApi::OpenGLES3, width, height);
    if (error.empty() && !installFixedFunctionLayer(surfacelessLookup, error) && error.empty())
        error = "the layer cannot run on this OpenGL ES";
    if (!error.empty()) {
        std::fprintf(stderr, "kestrion-still: %s\n", error.c_str());
        return 1;
    }
    setFixedFunctionFramebufferSize(width, height);
    ScreenWidth = width;
    ScreenHeight = height;
    if (!setUpScene(ScreenWidth, ScreenHeight, ProgramDirectory)) {
        std::fprintf(stderr, "kestrion-still: the scene did not load from the data set\n");
        return 1;
    }
    int written = 0;
    for (int frame = 1; written < count; ++frame) {
        advanceFakeClock(FrameMs);
        RunFrame();
        if (frame < from || (frame - from) % every != 0) continue;
        flushFixedFunctionLayer();
        ScreenshotPixels pixels;
        if (!readScreenshotPixels(width, height, pixels)) {
            std::fprintf(stderr, "kestrion-still: cannot read frame %d\n", frame);
            return 1;
        }
        char name[24];
        std::snprintf(name, sizeof name, "-%02d.png", ++written);
        const std::vector<uint8_t> png = encodePng(pictureOf(pixels, width, height));
        std::ofstream out(prefix + name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
        if (!out) {
            std::fprintf(stderr, "kestrion-still: cannot write %s%s\n", prefix.c_str(), name);
            return 1;
        }
    }
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-') return usage();
    int width = 1280, height = 720, ships = 10, from = 150, count = 1, every = 3;
    for (int i = 2; i < argc; ++i) {
        const bool last = i + 1 >= argc;
        if (last) return usage();
        const char* value = argv[++i];
        int* target = nullptr;
        if (!std::strcmp(argv[i - 1], "--size")) {
            if (std::sscanf(value, "%dx%d", &width, &height) != 2 || width < 16 || height < 16 ||
                width > 4096 || height > 4096)
                return usage();
            continue;
        }
        if (!std::strcmp(argv[i - 1], "--ships")) target = &ships;
        if (!std::strcmp(argv[i - 1], "--from")) target = &from;
        if (!std::strcmp(argv[i - 1], "--count")) target = &count;
        if (!std::strcmp(argv[i - 1], "--every")) target = &every;
        if (!target || std::sscanf(value, "%d", target) != 1 || *target < 1) return usage();
    }
    if (ships > 500) return usage();
    const int status = still(argv[1], width, height, ships, from, count, every);
    std::error_code ignored;
    std::filesystem::remove_all(headlessDataFolder(getpid()), ignored);
    return status;
}
