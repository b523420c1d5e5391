// The saver's quit rules for the mouse: movement from one reference point and
// the cursor nudge on a button press.
#pragma once
#include <cstdint>

struct CursorPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// The reference position, recorded by the first check and never moved again.
struct MovementCheck {
    int32_t armed = 0;
    CursorPoint reference;
};

// The movement check for the cursor at `position`: the first call only records
// the reference; later calls say whether |dx| + |dy| from it exceeds 2 pixels.
bool cursorMovedTooFar(MovementCheck& check, CursorPoint position);

// Where a button press first moves the cursor: one pixel right and down.
CursorPoint nudgeTarget(CursorPoint before);

// After the first nudge: true when the cursor missed the target in both x and y
// (it sits at the bottom-right edge), so it must go one pixel up and left instead.
bool nudgeNeedsFallback(CursorPoint before, CursorPoint after);
CursorPoint nudgeFallback(CursorPoint before);
