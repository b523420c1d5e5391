#include "data/scene.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "shell/monitors.h"
#include "tests/support/recording_gl.h"

#include <gtest/gtest.h>

namespace {
void expectRect(const ScreenRect& r, int32_t x, int32_t y, int32_t w, int32_t h) {
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.width, w);
    EXPECT_EQ(r.height, h);
}
} // namespace

TEST(SaverLayout, OneMonitorIsTheBattleAlone) {
    const SaverLayout one = layOutSaver({{{0, 0, 1920, 1080}, true}}, 1920, 1080);
    expectRect(one.window, 0, 0, 1920, 1080);
    expectRect(one.viewport, 0, 0, 1920, 1080);
    EXPECT_FALSE(one.blackBorder);
    // Nothing listed: the window is the battle, as with one monitor.
    const SaverLayout none = layOutSaver({}, 800, 600);
    expectRect(none.window, 0, 0, 800, 600);
    EXPECT_FALSE(none.blackBorder);
}

// The window covers the virtual screen; the battle keeps to the primary's
// rectangle, counted from the window's bottom edge as GL counts.
TEST(SaverLayout, TheWindowCoversEveryMonitorAndTheBattleThePrimary) {
    const SaverLayout sideBySide =
        layOutSaver({{{0, 0, 800, 600}, true}, {{800, 0, 800, 600}, false}}, 800, 600);
    expectRect(sideBySide.window, 0, 0, 1600, 600);
    expectRect(sideBySide.viewport, 0, 0, 800, 600);
    EXPECT_TRUE(sideBySide.blackBorder);

    // A taller panel left of and above the primary: negative coordinates.
    const SaverLayout leftAbove =
        layOutSaver({{{-1280, -400, 1280, 1024}, false}, {{0, 0, 1920, 1080}, true}}, 1920, 1080);
    expectRect(leftAbove.window, -1280, -400, 3200, 1480);
    expectRect(leftAbove.viewport, 1280, 0, 1920, 1080);

    // Below the primary: the battle is the window's upper half, GL's y = 600.
    const SaverLayout below =
        layOutSaver({{{0, 0, 800, 600}, true}, {{0, 600, 800, 600}, false}}, 800, 600);
    expectRect(below.window, 0, 0, 800, 1200);
    expectRect(below.viewport, 0, 600, 800, 600);

    // A monitor of no size (a disconnected one) changes nothing.
    const SaverLayout empty =
        layOutSaver({{{0, 0, 800, 600}, true}, {{5000, 5000, 0, 0}, false}}, 800, 600);
    expectRect(empty.window, 0, 0, 800, 600);
}

// A fixed resolution switches the primary alone, before the monitors are
// listed: the battle is the switched size, the other panel keeps its own.
TEST(SaverLayout, AFixedResolutionSwitchesOnlyThePrimary) {
    const SaverLayout layout =
        layOutSaver({{{0, 0, 1024, 768}, true}, {{1024, 0, 1920, 1080}, false}}, 1024, 768);
    expectRect(layout.window, 0, 0, 2944, 1080);
    expectRect(layout.viewport, 0, 312, 1024, 768);
    EXPECT_TRUE(layout.blackBorder);
}

TEST(ScenePlacement, FixedResolutionsKeepTheViewAndDesktopTakesTheWindowsShape) {
    installRecordingGL();
    ScreenWidth = 800;
    ScreenHeight = 600;
    placeScene(0, 312, 1024, 768, SceneShape::FourByThree);
    placeScene(1280, 0, 1920, 1080, SceneShape::WindowAspect);
    const std::vector<GLCall> viewport = callsNamed("glViewport");
    ASSERT_EQ(viewport.size(), 2u);
    EXPECT_EQ(viewport[0].args, (std::vector<double>{0, 312, 1024, 768}));
    EXPECT_EQ(viewport[1].args, (std::vector<double>{1280, 0, 1920, 1080}));
    const std::vector<GLCall> frustum = callsNamed("glFrustum");
    ASSERT_EQ(frustum.size(), 2u);
    // Exactly the scene set-up's view, as the fixed resolutions always had.
    EXPECT_EQ(frustum[0].args,
              (std::vector<double>{-0.04444, 0.04444, -0.03333, 0.03333, 0.1, 1000}));
    // The same height, 16:9 wide: a third wider than the 4:3 view, not stretched.
    EXPECT_DOUBLE_EQ(frustum[1].args[1], 0.03333 * 1920 / 1080);
    EXPECT_DOUBLE_EQ(frustum[1].args[3], 0.03333);
    EXPECT_EQ(callsNamed("glMatrixMode").back().args[0], GL_MODELVIEW);
    // The battle's size is the caller's to keep.
    EXPECT_EQ(ScreenWidth, 800);
    EXPECT_EQ(ScreenHeight, 600);
}

TEST(PreviewPace, AboutThirtyFramesASecondAcrossTheClocksWrap) {
    EXPECT_EQ(previewWaitMs(1000, 1000), PreviewFrameMs);
    EXPECT_EQ(previewWaitMs(1000, 1020), PreviewFrameMs - 20);
    EXPECT_EQ(previewWaitMs(1000, 1000 + PreviewFrameMs), 0u);
    EXPECT_EQ(previewWaitMs(1000, 5000), 0u);
    EXPECT_EQ(previewWaitMs(0xFFFFFFF0u, 0x00000002u), PreviewFrameMs - 18);
}
