#include "gl/gl_table.h"
#include "shell/screenshot.h"
#include "tests/support/recording_gl.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace {
uint32_t read32(const uint8_t* at) {
    return at[0] | (at[1] << 8) | (at[2] << 16) | (uint32_t{at[3]} << 24);
}
uint16_t read16(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}
} // namespace

TEST(ScreenshotFile, HeaderIsTheExact54Bytes) {
    const auto h = bmpHeader(800, 600);
    const uint8_t expected[54] = {
        'B',  'M',  0x36, 0xF9, 0x15, 0x00, 0, 0, 0,    0,    54, 0, 0, 0, // file header
        40,   0,    0,    0,    0x20, 0x03, 0, 0, 0x58, 0x02, 0,  0,       // size, width, height
        1,    0,    24,   0,    0,    0,    0, 0,  // planes, bits, compression
        0x00, 0xF9, 0x15, 0x00,                    // image size 1440000
        0x5F, 0x27, 0,    0,    0x5F, 0x27, 0, 0,  // 10079 ppm twice
        0,    0,    0,    0,    0,    0,    0, 0}; // colour counts
    EXPECT_EQ(std::memcmp(h.data(), expected, 54), 0);

    const auto big = bmpHeader(1600, 1200);
    EXPECT_EQ(read32(&big[2]), 1600u * 1200 * 3 + 54);
    EXPECT_EQ(read32(&big[34]), 1600u * 1200 * 3);
    EXPECT_EQ(read32(&big[18]), 1600u);
    EXPECT_EQ(read32(&big[22]), 1200u); // positive: bottom row first
    EXPECT_EQ(read16(&big[28]), 24u);
}

TEST(ScreenshotFile, FloatsBecomeBytesByTruncation) {
    EXPECT_EQ(floatToPixelByte(0.0f), 0);
    EXPECT_EQ(floatToPixelByte(1.0f), 255);
    EXPECT_EQ(floatToPixelByte(0.5f), 127);   // 127.5 truncated
    EXPECT_EQ(floatToPixelByte(0.999f), 254); // never rounded up
    EXPECT_EQ(floatToPixelByte(-0.001f), 0);  // truncation towards zero
    // Out-of-range driver values keep the low 8 bits of the truncated product.
    EXPECT_EQ(floatToPixelByte(2.0f), 254);  // 510 = 0x1FE
    EXPECT_EQ(floatToPixelByte(-0.5f), 129); // -127 = 0x...81
    // Values with no 32-bit product read as 0 instead of being undefined.
    EXPECT_EQ(floatToPixelByte(1e30f), 0);
    EXPECT_EQ(floatToPixelByte(-1e30f), 0);
    EXPECT_EQ(floatToPixelByte(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(floatToPixelByte(std::numeric_limits<float>::infinity()), 0);
}

TEST(ScreenshotFile, NamesCountUpFromTheFirstFreeNumber) {
    EXPECT_EQ(screenshotFileName(0), "KestrionScreen00.bmp");
    EXPECT_EQ(screenshotFileName(7), "KestrionScreen07.bmp");
    EXPECT_EQ(screenshotFileName(99), "KestrionScreen99.bmp");
    EXPECT_EQ(screenshotFileName(100), "KestrionScreen100.bmp");

    std::set<std::string> present;
    std::vector<std::string> probed;
    auto opens = [&](const std::string& name) {
        probed.push_back(name);
        return present.count(name) > 0;
    };
    EXPECT_EQ(firstFreeScreenshotName(opens), "KestrionScreen00.bmp");
    for (int n = 0; n <= 4; ++n)
        present.insert(screenshotFileName(n));
    probed.clear();
    EXPECT_EQ(firstFreeScreenshotName(opens), "KestrionScreen05.bmp");
    EXPECT_EQ(probed.size(), 6u);
    EXPECT_EQ(probed.front(), "KestrionScreen00.bmp");
    // A gap is filled before later numbers.
    present.erase(screenshotFileName(2));
    EXPECT_EQ(firstFreeScreenshotName(opens), "KestrionScreen02.bmp");
    present.insert(screenshotFileName(2));
    for (int n = 5; n <= 99; ++n)
        present.insert(screenshotFileName(n));
    EXPECT_EQ(firstFreeScreenshotName(opens), "KestrionScreen100.bmp");
}

namespace {
struct ReadPixelsCall {
    int count = 0;
    GLint x = -1, y = -1;
    GLsizei width = 0, height = 0;
    GLenum format = 0, type = 0;
} Read;

void KGL_APIENTRY fakeReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                                 GLenum type, GLvoid* pixels) {
    Read = {Read.count + 1, x, y, width, height, format, type};
    float* values = static_cast<float*>(pixels);
    const size_t count = static_cast<size_t>(width) * height * 3;
    for (size_t i = 0; i < count; ++i)
        values[i] = static_cast<float>(i % 3) * 0.5f;
}
} // namespace

TEST(ScreenshotFile, PixelsAreReadAsBgrFloatsAndConverted) {
    installRecordingGL();
    glReadPixels = fakeReadPixels;
    Read = {};
    ScreenshotPixels pixels;
    ASSERT_TRUE(readScreenshotPixels(4, 3, pixels));
    EXPECT_EQ(Read.count, 1);
    EXPECT_EQ(Read.x, 0);
    EXPECT_EQ(Read.y, 0);
    EXPECT_EQ(Read.width, 4);
    EXPECT_EQ(Read.height, 3);
    EXPECT_EQ(Read.format, GL_BGR_EXT);
    EXPECT_EQ(Read.type, GL_FLOAT);
    ASSERT_EQ(pixels.size, 36u);
    for (size_t i = 0; i < pixels.size; ++i) {
        const uint8_t expected[3] = {0, 127, 255};
        EXPECT_EQ(pixels.bytes[i], expected[i % 3]) << i;
    }
}

// A desktop or window of any width: each row is padded to four bytes with
// zeros, as the header counts it, and no pixel moves.
TEST(ScreenshotFile, RowsArePaddedAsTheFileStoresThem) {
    installRecordingGL();
    glReadPixels = fakeReadPixels;
    ScreenshotPixels pixels;
    ASSERT_TRUE(readScreenshotPixels(1366, 2, pixels));
    ASSERT_EQ(pixels.size, 2 * bmpRowBytes(1366));
    EXPECT_EQ(bmpRowBytes(1366), 4100u);
    const uint8_t expected[3] = {0, 127, 255};
    for (size_t y = 0; y < 2; ++y) {
        for (size_t i = 0; i < 4098; ++i)
            ASSERT_EQ(pixels.bytes[y * 4100 + i], expected[i % 3]) << y << " " << i;
        EXPECT_EQ(pixels.bytes[y * 4100 + 4098], 0);
        EXPECT_EQ(pixels.bytes[y * 4100 + 4099], 0);
    }
}

TEST(ScreenshotFile, ImpossibleBuffersSkipTheScreenshot) {
    installRecordingGL();
    glReadPixels = fakeReadPixels;
    Read = {};
    ScreenshotPixels pixels;
    EXPECT_FALSE(readScreenshotPixels(INT_MAX, INT_MAX, pixels));
    EXPECT_FALSE(readScreenshotPixels(0, 600, pixels));
    EXPECT_EQ(Read.count, 0);
    EXPECT_EQ(pixels.bytes, nullptr);
}

// F12 lands in the current folder when a file can be made there, otherwise in
// the fallback folder with its own numbering; with neither, nothing is made.
TEST(ScreenshotFile, TheCurrentFolderFirstThenTheFallbackFolder) {
    std::set<std::string> present, refused;
    std::string fallback = "C:\\Users\\Ann\\Pictures\\Kestrion\\";
    int fallbackAsked = 0;
    const ScreenshotFiles files = {
        [&](const std::string& path) { return present.count(path) > 0; },
        [&](const std::string& path) {
            if (refused.count(path.substr(0, path.find_last_of('\\') + 1))) return false;
            present.insert(path);
            return true;
        },
        [&] {
            ++fallbackAsked;
            return fallback;
        }};

    present = {"KestrionScreen00.bmp"};
    EXPECT_EQ(createScreenshotFile(files), "KestrionScreen01.bmp");
    EXPECT_EQ(fallbackAsked, 0);

    refused = {""}; // the current folder takes no file (paths without a folder)
    present.insert(fallback + "KestrionScreen00.bmp");
    EXPECT_EQ(createScreenshotFile(files), fallback + "KestrionScreen01.bmp");
    EXPECT_EQ(createScreenshotFile(files), fallback + "KestrionScreen02.bmp");
    EXPECT_EQ(fallbackAsked, 2);

    refused.insert(fallback);
    EXPECT_EQ(createScreenshotFile(files), "");
    fallback.clear(); // no Pictures folder at all
    EXPECT_EQ(createScreenshotFile(files), "");
    EXPECT_EQ(present.size(), 5u); // two made here, two there, one there before
}

TEST(ScreenshotFile, TheBattlesPartOfALargerWindowIsRead) {
    installRecordingGL();
    glReadPixels = fakeReadPixels;
    Read = {};
    ScreenshotPixels pixels;
    ASSERT_TRUE(readScreenshotPixelsAt(1280, 312, 16, 9, pixels));
    EXPECT_EQ(Read.x, 1280);
    EXPECT_EQ(Read.y, 312);
    EXPECT_EQ(Read.width, 16);
    EXPECT_EQ(Read.height, 9);
    EXPECT_EQ(pixels.size, 9 * bmpRowBytes(16));
}
