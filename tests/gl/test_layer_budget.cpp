// What the layer sends ES at 2 x 200 in the opening salvo (every ship in range,
// missiles by the thousand), over an ES that draws nothing: the page's budget
// of calls a frame, and far fewer bytes than the vertices it was asked for.
#include "data/scene.h"
#include "gl/gl_state.h"
#include "gl/gl_table.h"
#include "gl/gles/fixed_function.h"
#include "platform/clock.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "tests/support/headless_battle.h"
#include "tests/support/null_es.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <malloc.h>
#include <vector>

namespace {
TEST(GLESLayerBudget, OpeningSalvoOfTwoHundredASide) {
    std::string error;
    ASSERT_TRUE(configureHeadlessBattle(200, 1000000, 12345, &error)) << error;
    ASSERT_TRUE(installFixedFunctionLayer(nullESLookup, error)) << error;
    ScreenWidth = 800;
    ScreenHeight = 600;
    setFixedFunctionFramebufferSize(ScreenWidth, ScreenHeight);
    MultitextureAvailable = 1;
    ASSERT_TRUE(setUpScene(ScreenWidth, ScreenHeight, ProgramDirectory));
    for (int frame = 0; frame < 5; ++frame) {
        advanceFakeClock(16);
        RunFrame();
    }
    constexpr int Frames = 10;
    const long long calls = nullESCalls(), bytes = nullESBytes();
    const FixedFunctionCounts before = fixedFunctionCounts();
    for (int frame = 0; frame < Frames; ++frame) {
        advanceFakeClock(16);
        RunFrame();
    }
    const double callsAFrame = double(nullESCalls() - calls) / Frames;
    const double bytesAFrame = double(nullESBytes() - bytes) / Frames;
    const double drawsAFrame = double(fixedFunctionCounts().draws - before.draws) / Frames;
    std::printf("2 x 200, opening: %.0f draws asked for, %.0f ES calls and %.0f KB a frame\n",
                drawsAFrame, callsAFrame, bytesAFrame / 1024);
    EXPECT_LT(callsAFrame, 5000);
    // Sent as vertices, each of these draws (a sprite of two triangles at
    // least) would take 480 bytes or more.
    EXPECT_LT(bytesAFrame, drawsAFrame * 480 / 2);
    releaseFixedFunctionLayer();
}

// A sky tile's upload and a full-HD read-back leave no copy in the layer: the
// memory in use comes back to within the small conversions it keeps room for.
TEST(GLESLayerBudget, LargeUploadsAndReadBacksLeaveNoCopyBehind) {
    std::string error;
    ASSERT_TRUE(installFixedFunctionLayer(nullESLookup, error)) << error;
    setFixedFunctionFramebufferSize(1920, 1080);
    std::vector<uint8_t> tile(size_t(1024) * 1024 * 3, 7), screen(size_t(1920) * 1080 * 3);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    auto inUse = [] {
        const struct mallinfo2 info = mallinfo2();
        return info.uordblks + info.hblkhd; // large blocks are mapped on their own
    };
    const size_t before = inUse();
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 1024, 1024, 0, GL_BGR_EXT, GL_UNSIGNED_BYTE, tile.data());
    glReadPixels(0, 0, 1920, 1080, GL_BGR_EXT, GL_UNSIGNED_BYTE, screen.data());
    EXPECT_LT(inUse(), before + (size_t(1) << 20));
    releaseFixedFunctionLayer();
}
} // namespace
