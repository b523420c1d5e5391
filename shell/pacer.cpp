#include "shell/pacer.h"

namespace {
// Frames are measured over about this long before deciding.
constexpr uint32_t MeasureMs = 250;
// Faster than this many times the display's rate, the swap does not wait.
constexpr uint64_t TooFastNumerator = 3, TooFastDenominator = 2;
constexpr int FastestRefreshHz = 1000;

bool before(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b) < 0;
}

void advance(FramePacer& pacer) {
    const uint32_t us = pacer.nextFrameUs + pacer.periodUs;
    pacer.nextFrameAt += us / 1000;
    pacer.nextFrameUs = us % 1000;
}
} // namespace

int displayRefreshHz(int reported) {
    return reported > 1 && reported <= FastestRefreshHz ? reported : UnknownRefreshHz;
}

FramePacer makeFramePacer(int refreshHz, bool allowed) {
    FramePacer pacer;
    pacer.allowed = allowed;
    const int hz = displayRefreshHz(refreshHz);
    pacer.periodUs = static_cast<uint32_t>((1000000 + hz / 2) / hz);
    return pacer;
}

void pacerFrameDone(FramePacer& pacer, uint32_t now) {
    if (!pacer.allowed) return;
    if (pacer.waiting) {
        advance(pacer);
        // A frame that ran late starts the schedule afresh rather than being
        // made up for with frames back to back.
        if (before(pacer.nextFrameAt, now)) {
            pacer.nextFrameAt = now;
            pacer.nextFrameUs = 0;
        }
        return;
    }
    if (pacer.measuredFrames == 0) {
        pacer.measureStart = now;
        pacer.measuredFrames = 1;
        return;
    }
    ++pacer.measuredFrames;
    const uint32_t elapsed = now - pacer.measureStart;
    // More than 1.5 times the display's rate over the measure? Decided as soon
    // as the frames so far are more than that rate gives the whole measure, so
    // that a fast machine draws no more than a dozen or so frames unpaced.
    const uint64_t intervals = pacer.measuredFrames - 1;
    const uint64_t span = elapsed > MeasureMs ? elapsed : MeasureMs;
    if (intervals * pacer.periodUs * TooFastDenominator > span * 1000 * TooFastNumerator) {
        pacer.waiting = true;
        pacer.nextFrameAt = now;
        pacer.nextFrameUs = 0;
        advance(pacer);
        return;
    }
    if (elapsed < MeasureMs) return;
    pacer.measureStart = now;
    pacer.measuredFrames = 1;
}

uint32_t pacerWaitMs(const FramePacer& pacer, uint32_t now) {
    if (!pacer.allowed || !pacer.waiting || !before(now, pacer.nextFrameAt)) return 0;
    // Never more than one period, whatever the clock did meanwhile.
    const uint32_t wait = pacer.nextFrameAt - now;
    const uint32_t longest = pacer.periodUs / 1000 + 1;
    return wait < longest ? wait : longest;
}
