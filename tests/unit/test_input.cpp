#include "shell/input.h"

#include <gtest/gtest.h>

TEST(MovementCheck, FirstCheckOnlyRecordsTheReference) {
    MovementCheck check;
    EXPECT_FALSE(cursorMovedTooFar(check, {400, 300}));
    EXPECT_EQ(check.armed, 1);
    EXPECT_EQ(check.reference.x, 400);
    EXPECT_EQ(check.reference.y, 300);
    EXPECT_FALSE(cursorMovedTooFar(check, {400, 300}));
}

TEST(MovementCheck, MoreThanTwoPixelsFromTheReferenceQuits) {
    MovementCheck check;
    cursorMovedTooFar(check, {400, 300});
    EXPECT_FALSE(cursorMovedTooFar(check, {401, 301})); // exactly 2
    EXPECT_FALSE(cursorMovedTooFar(check, {398, 300}));
    EXPECT_FALSE(cursorMovedTooFar(check, {400, 302}));
    EXPECT_TRUE(cursorMovedTooFar(check, {402, 301})); // 3
    EXPECT_TRUE(cursorMovedTooFar(check, {399, 298}));
    EXPECT_TRUE(cursorMovedTooFar(check, {400, 297}));
}

// The reference never follows the cursor, so slow drift adds up.
TEST(MovementCheck, DriftAddsUpFromTheOneReference) {
    MovementCheck check;
    cursorMovedTooFar(check, {10, 10});
    EXPECT_FALSE(cursorMovedTooFar(check, {11, 10}));
    EXPECT_FALSE(cursorMovedTooFar(check, {12, 10}));
    EXPECT_TRUE(cursorMovedTooFar(check, {13, 10}));
    EXPECT_EQ(check.reference.x, 10);
    // Coming back near the reference is still within the threshold.
    EXPECT_FALSE(cursorMovedTooFar(check, {11, 11}));
}

TEST(MovementCheck, FarApartCoordinatesDoNotOverflow) {
    MovementCheck check;
    cursorMovedTooFar(check, {INT32_MIN, INT32_MIN});
    EXPECT_TRUE(cursorMovedTooFar(check, {INT32_MAX, INT32_MAX}));
}

TEST(CursorNudge, MovesRightAndDownOrBackAtTheCorner) {
    const CursorPoint middle{400, 300};
    EXPECT_EQ(nudgeTarget(middle).x, 401);
    EXPECT_EQ(nudgeTarget(middle).y, 301);
    EXPECT_FALSE(nudgeNeedsFallback(middle, {401, 301}));

    // Bottom-right corner: the cursor cannot move, so it goes up and left.
    const CursorPoint corner{799, 599};
    EXPECT_TRUE(nudgeNeedsFallback(corner, corner));
    EXPECT_EQ(nudgeFallback(corner).x, 798);
    EXPECT_EQ(nudgeFallback(corner).y, 598);

    // At one edge only the cursor still moved along the other axis: no fallback.
    EXPECT_FALSE(nudgeNeedsFallback({799, 300}, {799, 301}));
    EXPECT_FALSE(nudgeNeedsFallback({400, 599}, {401, 599}));
}
