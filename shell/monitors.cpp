#include "shell/monitors.h"

#include <algorithm>

namespace {
// Right and bottom in 64 bits: a rectangle near the edge of the coordinate range cannot overflow.
int64_t right(const ScreenRect& r) {
    return int64_t{r.x} + r.width;
}
int64_t bottom(const ScreenRect& r) {
    return int64_t{r.y} + r.height;
}
} // namespace

SaverLayout layOutSaver(const std::vector<Monitor>& monitors, int32_t battleWidth,
                        int32_t battleHeight) {
    ScreenRect battle{0, 0, battleWidth, battleHeight};
    for (const Monitor& monitor : monitors)
        if (monitor.primary) {
            battle.x = monitor.area.x;
            battle.y = monitor.area.y;
        }

    int64_t left = battle.x, top = battle.y, farRight = right(battle), farBottom = bottom(battle);
    for (const Monitor& monitor : monitors) {
        if (monitor.area.width <= 0 || monitor.area.height <= 0) continue;
        left = std::min<int64_t>(left, monitor.area.x);
        top = std::min<int64_t>(top, monitor.area.y);
        farRight = std::max(farRight, right(monitor.area));
        farBottom = std::max(farBottom, bottom(monitor.area));
    }

    SaverLayout layout;
    layout.window = {static_cast<int32_t>(left), static_cast<int32_t>(top),
                     static_cast<int32_t>(farRight - left), static_cast<int32_t>(farBottom - top)};
    // GL counts rows from the window's bottom edge.
    layout.viewport = {static_cast<int32_t>(battle.x - left),
                       static_cast<int32_t>(farBottom - bottom(battle)), battleWidth, battleHeight};
    layout.blackBorder = layout.window.width != battleWidth || layout.window.height != battleHeight;
    return layout;
}
