// F12 screenshots: the picture in the read buffer as a 24-bit bottom-up BMP.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

constexpr size_t BmpHeaderSize = 54; // 14-byte file header + 40-byte information header
constexpr int32_t BmpPixelsPerMetre = 10079;

// The bytes of one stored row: 3 a pixel, padded to a multiple of 4.
size_t bmpRowBytes(int32_t width);

// The two headers of a W x H 24-bit picture, little-endian, as written to the
// file; the sizes count the rows' padding.
std::array<uint8_t, BmpHeaderSize> bmpHeader(int32_t width, int32_t height);

// byte = value x 255 truncated towards zero, low 8 bits kept. A value whose
// product lies outside the 32-bit range (or is not a number) gives 0.
uint8_t floatToPixelByte(float value);

// "KestrionScreen%0.2d.bmp": at least two digits.
std::string screenshotFileName(int number);

// The first name, counting from 00, that `opens` says cannot be opened; empty
// only when every number up to the largest int is taken.
std::string firstFreeScreenshotName(const std::function<bool(const std::string&)>& opens);

// Where F12's file goes, through the system's file calls. Paths are UTF-8.
struct ScreenshotFiles {
    std::function<bool(const std::string& path)> exists; // the file opens for reading
    std::function<bool(const std::string& path)> create; // a new file is made and kept for writing
    // The folder to fall back on, ending in a separator and made when missing;
    // empty when there is none.
    std::function<std::string()> fallbackFolder;
};

// Creates the first free screenshot name of the current folder; when that file
// cannot be created, the first free name of the fallback folder, numbered on
// its own. Returns the path created, or empty when neither could be.
std::string createScreenshotFile(const ScreenshotFiles& files);

// The pixel bytes of one screenshot as the file stores them: blue, green, red
// per pixel, bottom row first, each row padded with zeros to bmpRowBytes.
struct ScreenshotPixels {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
};

// Reads W x H pixels as BGR floats through glReadPixels and converts them.
// Returns false, with nothing read, when the buffers cannot be allocated.
bool readScreenshotPixels(int32_t width, int32_t height, ScreenshotPixels& pixels);
// The same for the W x H pixels whose bottom-left corner is (x, y) in the window.
bool readScreenshotPixelsAt(int32_t x, int32_t y, int32_t width, int32_t height,
                            ScreenshotPixels& pixels);
