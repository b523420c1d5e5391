#include "shell/input.h"

#include <cstdlib>

bool cursorMovedTooFar(MovementCheck& check, CursorPoint position) {
    if (!check.armed) {
        check.reference = position;
        check.armed = 1;
        return false;
    }
    // 64-bit so that far-apart screen coordinates cannot overflow.
    const int64_t dx = std::llabs(int64_t{position.x} - check.reference.x);
    const int64_t dy = std::llabs(int64_t{position.y} - check.reference.y);
    return dx + dy > 2;
}

CursorPoint nudgeTarget(CursorPoint before) {
    return {static_cast<int32_t>(int64_t{before.x} + 1),
            static_cast<int32_t>(int64_t{before.y} + 1)};
}

bool nudgeNeedsFallback(CursorPoint before, CursorPoint after) {
    const CursorPoint target = nudgeTarget(before);
    return after.x != target.x && after.y != target.y;
}

CursorPoint nudgeFallback(CursorPoint before) {
    return {static_cast<int32_t>(int64_t{before.x} - 1),
            static_cast<int32_t>(int64_t{before.y} - 1)};
}
