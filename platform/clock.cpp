#include "platform/clock.h"

namespace {
ClockSource ActiveClock = nullptr;
uint32_t FakeNow = 0;
uint32_t fakeClock() { return FakeNow; }

uint32_t LeftOut = 0; // the time held so far, taken from every reading
bool Held = false;
uint32_t HeldAt = 0; // the reading while held

uint32_t sourceNow() { return ActiveClock ? ActiveClock() : platformClock(); }
} // namespace

uint32_t clockNow() { return Held ? HeldAt : sourceNow() - LeftOut; }

void setClockSource(ClockSource source) {
    ActiveClock = source;
    LeftOut = 0;
    Held = false;
}

void holdClock() {
    if (Held) return;
    HeldAt = clockNow();
    Held = true;
}

void releaseClock() {
    if (!Held) return;
    LeftOut = sourceNow() - HeldAt;
    Held = false;
}

bool clockHeld() { return Held; }

void useFakeClock(uint32_t start) {
    FakeNow = start;
    setClockSource(fakeClock);
}

void setFakeClock(uint32_t now) { FakeNow = now; }

void advanceFakeClock(uint32_t ms) { FakeNow += ms; }
