// Frames at the display's pace. Where the swap waits for the display (a swap
// interval of 1), frames already come at its rate and the pacer does nothing.
// Where it does not (no vertical sync: Xvfb, some drivers, a user's setting),
// the loop would draw frames no panel shows; once a short measure shows frames
// coming faster than the display's rate, the pacer holds every frame back to
// the display's refresh interval. Times are clock readings (unsigned 32-bit
// milliseconds that wrap).
#pragma once
#include <cstdint>

// The rate used when the system reports none (0, or 1 for "the default").
constexpr int UnknownRefreshHz = 60;

// A refresh rate the system reported, or UnknownRefreshHz when it reported
// nothing usable.
int displayRefreshHz(int reported);

struct FramePacer {
    bool allowed = true;         // false: frames back to back (the bench's unpaced runs)
    uint32_t periodUs = 16667;   // one refresh of the display, in microseconds
    bool waiting = false;        // frames came too fast: each waits for its turn
    uint32_t measureStart = 0;   // the frame the measure counts from
    uint32_t measuredFrames = 0; // frames done since then, that one included
    uint32_t nextFrameAt = 0;    // while waiting: the earliest start of the next frame
    uint32_t nextFrameUs = 0;    // and the microseconds beyond that millisecond
};

FramePacer makeFramePacer(int refreshHz, bool allowed);

// A frame has been presented at `now`: measures, and schedules the next one.
void pacerFrameDone(FramePacer& pacer, uint32_t now);

// How long to wait at `now` before the next frame; 0: draw it now.
uint32_t pacerWaitMs(const FramePacer& pacer, uint32_t now);
