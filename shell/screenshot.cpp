#include "shell/screenshot.h"

#include "gl/gl_table.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <new>

namespace {
void put16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}
} // namespace

size_t bmpRowBytes(int32_t width) {
    return (static_cast<size_t>(static_cast<uint32_t>(width)) * 3 + 3) & ~size_t{3};
}

std::array<uint8_t, BmpHeaderSize> bmpHeader(int32_t width, int32_t height) {
    const uint32_t imageSize =
        static_cast<uint32_t>(bmpRowBytes(width)) * static_cast<uint32_t>(height);
    std::array<uint8_t, BmpHeaderSize> h{};
    put16(&h[0], 0x4D42);
    put32(&h[2], imageSize + BmpHeaderSize);
    put32(&h[10], BmpHeaderSize);
    put32(&h[14], 40);
    put32(&h[18], static_cast<uint32_t>(width));
    put32(&h[22], static_cast<uint32_t>(height));
    put16(&h[26], 1);
    put16(&h[28], 24);
    put32(&h[34], imageSize);
    put32(&h[38], BmpPixelsPerMetre);
    put32(&h[42], BmpPixelsPerMetre);
    return h; // reserved fields, compression and colour counts stay 0
}

uint8_t floatToPixelByte(float value) {
    const double scaled = value * 255.0;
    // Outside the int range the processor's conversion yields 0x80000000, whose low byte is 0;
    // doing the same here keeps odd driver values from being undefined behaviour.
    if (!(scaled > -2147483649.0 && scaled < 2147483648.0)) return 0;
    return static_cast<uint8_t>(static_cast<int32_t>(scaled));
}

std::string screenshotFileName(int number) {
    char name[40];
    std::snprintf(name, sizeof name, "KestrionScreen%.2d.bmp", number);
    return name;
}

std::string firstFreeScreenshotName(const std::function<bool(const std::string&)>& opens) {
    for (int n = 0;; ++n) {
        std::string name = screenshotFileName(n);
        if (!opens(name)) return name;
        if (n == INT_MAX) return std::string();
    }
}

std::string createScreenshotFile(const ScreenshotFiles& files) {
    for (const bool fallback : {false, true}) {
        const std::string folder = fallback ? files.fallbackFolder() : std::string();
        if (fallback && folder.empty()) break;
        const std::string name =
            firstFreeScreenshotName([&](const std::string& n) { return files.exists(folder + n); });
        if (!name.empty() && files.create(folder + name)) return folder + name;
    }
    return std::string();
}

bool readScreenshotPixels(int32_t width, int32_t height, ScreenshotPixels& pixels) {
    return readScreenshotPixelsAt(0, 0, width, height, pixels);
}

bool readScreenshotPixelsAt(int32_t x, int32_t y, int32_t width, int32_t height,
                            ScreenshotPixels& pixels) {
    if (width <= 0 || height <= 0) return false;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
    if (count > SIZE_MAX / sizeof(float)) return false;
    const size_t row = static_cast<size_t>(width) * 3;
    const size_t stored = bmpRowBytes(width);
    std::unique_ptr<float[]> values(new (std::nothrow) float[count]());
    // Zeroed, so that the padding at the end of each row is zero.
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[stored * size_t(height)]());
    if (!values || !bytes) return false;
    glReadPixels(x, y, width, height, GL_BGR_EXT, GL_FLOAT, values.get());
    for (size_t y = 0; y < size_t(height); ++y)
        for (size_t i = 0; i < row; ++i)
            bytes[y * stored + i] = floatToPixelByte(values[y * row + i]);
    values.reset(); // the float buffer goes before the file is written
    pixels.bytes = std::move(bytes);
    pixels.size = stored * size_t(height);
    return true;
}
