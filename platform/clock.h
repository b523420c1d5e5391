// Millisecond clock with timeGetTime semantics: an unsigned 32-bit count that
// wraps. Differences are always taken in unsigned 32-bit arithmetic.
#pragma once
#include <cstdint>

using ClockSource = uint32_t (*)();

// The current reading of the active clock source, less the time it was held.
uint32_t clockNow();

// Replaces the clock source (tests, benchmarks); nullptr restores the platform clock.
// Either way the clock starts unheld and without time left out.
void setClockSource(ClockSource source);

// Holds the clock: clockNow() stands still until releaseClock(), and then goes
// on from where it stood. Everything that measures its own elapsed time sees
// no gap, so nothing jumps after a time nobody saw (the display was off).
void holdClock();
void releaseClock();
bool clockHeld();

// Platform clock (timeGetTime on Windows, a monotonic clock elsewhere).
uint32_t platformClock();

// CPU time the whole process (every thread) has used, in milliseconds.
long long processCpuMs();

// A fake clock for tests and benchmarks: installs itself as the clock source.
void useFakeClock(uint32_t start);
void setFakeClock(uint32_t now);
void advanceFakeClock(uint32_t ms);
