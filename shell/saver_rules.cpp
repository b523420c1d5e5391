#include "shell/saver_rules.h"

#include <algorithm>
#include <cmath>

int battleOutputIndex(const std::vector<std::string>& names, const std::string& wanted,
                      int preferred) {
    if (names.empty()) return -1;
    if (!wanted.empty()) {
        const auto found = std::find(names.begin(), names.end(), wanted);
        if (found != names.end()) return int(found - names.begin());
    }
    return preferred >= 0 && preferred < int(names.size()) ? preferred : 0;
}

bool wallpaperCoversOutput(const std::vector<std::string>& named, const std::string& name) {
    return named.empty() || std::find(named.begin(), named.end(), name) != named.end();
}

bool pointerMovedFar(PointerAnchor& anchor, double x, double y) {
    if (!anchor.placed) {
        anchor = {true, x, y};
        return false;
    }
    return std::fabs(x - anchor.x) > SaverMotionSlackPx ||
           std::fabs(y - anchor.y) > SaverMotionSlackPx;
}

namespace {
bool before(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b) < 0;
}
} // namespace

FrameCap makeFrameCap(int fps) {
    FrameCap cap;
    if (fps > 0) cap.periodUs = static_cast<uint32_t>(1000000 / fps);
    return cap;
}

void frameCapDrawn(FrameCap& cap, uint32_t now) {
    if (cap.periodUs == 0) return;
    // Late by a whole period or more (or the first frame): afresh from now.
    const bool late = !cap.started || static_cast<int32_t>(now - cap.nextAt) >=
                                          static_cast<int32_t>(cap.periodUs / 1000);
    if (late) {
        cap.nextAt = now;
        cap.nextUs = 0;
    }
    cap.started = true;
    const uint32_t us = cap.nextUs + cap.periodUs;
    cap.nextAt += us / 1000;
    cap.nextUs = us % 1000;
}

uint32_t frameCapWaitMs(const FrameCap& cap, uint32_t now) {
    if (cap.periodUs == 0 || !cap.started || !before(now, cap.nextAt)) return 0;
    // Never more than one period, whatever the clock did meanwhile.
    const uint32_t wait = cap.nextAt - now;
    const uint32_t longest = cap.periodUs / 1000 + 1;
    return std::min(wait, longest);
}
