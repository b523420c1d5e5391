// The battle's own step for the rules that act by chance or by picture: a
// beam's life roll, smoke, the looping beam flash and the shield spin. Each
// keeps the time of its last tick and takes as many ticks as the time since
// holds, carrying the rest, so the battle runs at the same pace at any frame
// rate; at one frame every 16 ms that is one tick a frame.
#pragma once
#include <cstdint>

constexpr uint32_t TickMs = 16;
// A frame this long (a stall, a display that slept, a clock set back) counts
// as one tick, as it moves a missile by one short step: nothing catches up
// on it at once.
constexpr uint32_t TickStallMs = 1000;

// Moves `tickTime` on to the next tick due by `now`; false when none is due.
inline bool nextTick(uint32_t& tickTime, uint32_t now) {
    const uint32_t elapsed = now - tickTime;
    if (elapsed >= TickStallMs)
        tickTime = now;
    else if (elapsed >= TickMs)
        tickTime += TickMs;
    else
        return false;
    return true;
}

// True once `due` is reached, in wrapping millisecond time.
inline bool tickReached(uint32_t due, uint32_t now) {
    return now - due < 0x80000000u;
}
