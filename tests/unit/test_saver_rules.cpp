// The saver's and the wallpaper's rules: the battle's monitor, the monitors a
// wallpaper covers, the end on pointer motion, and the --fps cap.
#include "shell/saver_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(SaverRules, BattleMonitorAndWallpaperMonitors) {
    const std::vector<std::string> names = {"HEADLESS-1", "HEADLESS-2", "DP-3"};
    EXPECT_EQ(battleOutputIndex(names, ""), 0);
    EXPECT_EQ(battleOutputIndex(names, "DP-3"), 2);
    EXPECT_EQ(battleOutputIndex(names, "", 1), 1);      // the primary
    EXPECT_EQ(battleOutputIndex(names, "DP-3", 1), 2);  // named beats primary
    EXPECT_EQ(battleOutputIndex(names, "VGA-9", 1), 1); // unplugged: as if not named
    EXPECT_EQ(battleOutputIndex(names, "", 7), 0);      // a primary out of range
    EXPECT_EQ(battleOutputIndex(names, "", -1), 0);
    EXPECT_EQ(battleOutputIndex({}, "DP-3"), -1);

    EXPECT_TRUE(wallpaperCoversOutput({}, "DP-3"));
    EXPECT_TRUE(wallpaperCoversOutput({"DP-1", "DP-3"}, "DP-3"));
    EXPECT_FALSE(wallpaperCoversOutput({"DP-1"}, "DP-3"));
}

TEST(SaverRules, OnlyMotionBeyondTheSlackFromTheFirstPositionEnds) {
    PointerAnchor anchor;
    // The first report, however far from 0,0, only places the anchor.
    EXPECT_FALSE(pointerMovedFar(anchor, 640.5, 360.25));
    // Jitter about it, each way and to the edge of the slack, never ends it: the
    // anchor stays where it was first, so creeping does not move it along.
    for (double d = -SaverMotionSlackPx; d <= SaverMotionSlackPx; d += 0.5) {
        EXPECT_FALSE(pointerMovedFar(anchor, 640.5 + d, 360.25));
        EXPECT_FALSE(pointerMovedFar(anchor, 640.5, 360.25 - d));
    }
    EXPECT_TRUE(pointerMovedFar(anchor, 640.5 + SaverMotionSlackPx + 1, 360.25));
    PointerAnchor other;
    pointerMovedFar(other, 10, 10);
    EXPECT_TRUE(pointerMovedFar(other, 10, 10 - SaverMotionSlackPx - 0.5));
}

namespace {
// Frames drawn in `spanMs` of a loop that draws whenever the cap allows and
// otherwise waits what it says, starting at `start` on the wrapping clock.
int framesIn(int fps, uint32_t start, uint32_t spanMs, uint32_t drawCostMs = 0) {
    FrameCap cap = makeFrameCap(fps);
    int frames = 0;
    uint32_t now = start;
    while (now - start < spanMs) {
        const uint32_t wait = frameCapWaitMs(cap, now);
        if (wait > 0) {
            EXPECT_LE(wait, 1000u / unsigned(fps) + 1);
            now += wait;
            continue;
        }
        frameCapDrawn(cap, now);
        ++frames;
        now += drawCostMs;
    }
    return frames;
}
} // namespace

TEST(SaverRules, FrameCapKeepsTheRateAcrossTheClockWrap) {
    // Ten seconds at each cap, across the 32-bit wrap: the rate is kept to the
    // frame, with no frame lost to rounding a period down or up.
    for (const int fps : {1, 7, 24, 30, 60, 144, 1000}) {
        EXPECT_NEAR(framesIn(fps, 0xFFFFFFFFu - 4000, 10000), fps * 10, 1) << fps << " fps";
        if (fps < 300) {
            EXPECT_NEAR(framesIn(fps, 12345, 10000, 3), fps * 10, 1) << fps << " fps, 3 ms frames";
        }
    }
    // Frames slower than the cap are never held back.
    EXPECT_NEAR(framesIn(30, 0xFFFFFF00u, 10000, 50), 200, 1);

    // No cap: never a wait.
    FrameCap none = makeFrameCap(0);
    frameCapDrawn(none, 5);
    EXPECT_EQ(frameCapWaitMs(none, 5), 0u);

    // A frame that came late (a stall of seconds) is not made up for with a
    // burst: the next waits a whole period again.
    FrameCap cap = makeFrameCap(20);
    frameCapDrawn(cap, 100);
    EXPECT_EQ(frameCapWaitMs(cap, 100), 50u);
    frameCapDrawn(cap, 5000);
    EXPECT_EQ(frameCapWaitMs(cap, 5000), 50u);
    EXPECT_EQ(frameCapWaitMs(cap, 5050), 0u);
}
