#include "battle/fleet.h"
#include "data/effects.h"
#include "gl/gl_state.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "tests/support/recording_gl.h"

#include <gtest/gtest.h>

namespace {
struct FrameTest : ::testing::Test {
    void SetUp() override {
        installRecordingGL();
        ScreenWidth = 800; // whatever a test before left
        ScreenHeight = 600;
        for (int i = 0; i < 6; ++i)
            BackgroundTextures[i] = 100 + i;
        MultitextureAvailable = 1;
        EdgeClampAvailable = 1; // the tiles' coordinates reach their images' edges
    }
    void TearDown() override {
        ScreenWidth = 800;
        ScreenHeight = 600;
        MultitextureAvailable = 1;
    }
};
} // namespace

TEST_F(FrameTest, BackgroundDrawsSixTilesTopRowFirst) {
    ScreenWidth = 1024;
    ScreenHeight = 767; // odd: the seam lies at the truncated half
    drawBackground();
    auto binds = callsNamed("glBindTexture");
    ASSERT_EQ(binds.size(), 6u);
    const int slots[6] = {3, 4, 5, 0, 1, 2};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(binds[i].args[1], 100 + slots[i]);

    auto vertices = callsNamed("glVertex2f");
    auto coords = callsNamed("glTexCoord2f");
    ASSERT_EQ(vertices.size(), 36u);
    ASSERT_EQ(coords.size(), 36u);
    const float x1 = static_cast<float>(1024 * 0.3333333333333333);
    const float x2 = static_cast<float>(1024 * 0.6666666666666666);
    // Tile 1 (slot 3): top-left.
    EXPECT_EQ(vertices[0].args, (std::vector<double>{0, 0}));
    EXPECT_EQ(vertices[1].args, (std::vector<double>{0, 383}));
    EXPECT_EQ(vertices[2].args, (std::vector<double>{x1, 383}));
    EXPECT_EQ(vertices[4].args, (std::vector<double>{x1, 0}));
    // Tile 6 (slot 2): bottom-right.
    EXPECT_EQ(vertices[30].args, (std::vector<double>{x2, 383}));
    EXPECT_EQ(vertices[32].args, (std::vector<double>{1024, 767}));
    const std::vector<std::vector<double>> st = {{0, 0}, {0, 1}, {1, 1}, {1, 1}, {1, 0}, {0, 0}};
    for (int i = 0; i < 36; ++i)
        EXPECT_EQ(coords[i].args, st[i % 6]);
    // Texture coordinate before each vertex.
    auto names = callNames();
    for (size_t i = 0; i + 1 < names.size(); ++i) {
        if (names[i + 1] == "glVertex2f") {
            EXPECT_EQ(names[i], "glTexCoord2f");
        }
    }
}

TEST_F(FrameTest, FrameClearsDepthDrawsFlatBackgroundAndSwaps) {
    static int swaps = 0;
    FrameSwap = [] { ++swaps; };
    RunFrame();
    auto names = callNames();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names[0], "glClear");
    EXPECT_EQ(RecordingGL.calls[0].args[0], GL_DEPTH_BUFFER_BIT);
    EXPECT_EQ(names[1], "glActiveTextureARB");
    auto ortho = callsNamed("glOrtho");
    ASSERT_EQ(ortho.size(), 1u);
    EXPECT_EQ(ortho[0].args, (std::vector<double>{0, 800, 600, 0, 1, -1}));
    EXPECT_LT(findCall("glDisable"), findCall("glBindTexture"));
    EXPECT_GT(findCall("glEnable"), findCall("glEnd"));
    EXPECT_EQ(names.back(), "glFlush");
    EXPECT_EQ(swaps, 1);
    FrameSwap = nullptr;

    installRecordingGL("");
    MultitextureAvailable = 0;
    RunFrame();
    EXPECT_EQ(findCall("glActiveTextureARB"), -1);
}
