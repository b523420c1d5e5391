#include "platform/clock.h"

namespace {
ClockSource ActiveClock = nullptr;
uint32_t FakeNow = 0;
uint32_t fakeClock() { return FakeNow; }
} // namespace

uint32_t clockNow() { return ActiveClock ? ActiveClock() : platformClock(); }

void setClockSource(ClockSource source) { ActiveClock = source; }

void useFakeClock(uint32_t start) {
    FakeNow = start;
    ActiveClock = fakeClock;
}

void setFakeClock(uint32_t now) { FakeNow = now; }

void advanceFakeClock(uint32_t ms) { FakeNow += ms; }
