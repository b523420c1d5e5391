// Millisecond clock with timeGetTime semantics: an unsigned 32-bit count that
// wraps. Differences are always taken in unsigned 32-bit arithmetic.
#pragma once
#include <cstdint>

using ClockSource = uint32_t (*)();

// The current reading of the active clock source.
uint32_t clockNow();

// Replaces the clock source (tests, benchmarks); nullptr restores the platform clock.
void setClockSource(ClockSource source);

// Platform clock (timeGetTime on Windows, a monotonic clock elsewhere).
uint32_t platformClock();

// A fake clock for tests and benchmarks: installs itself as the clock source.
void useFakeClock(uint32_t start);
void setFakeClock(uint32_t now);
void advanceFakeClock(uint32_t ms);
