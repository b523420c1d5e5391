// The process-wide random generator, with the C runtime's exact arithmetic so
// that every build draws the same sequence for a seed.
#pragma once
#include <cstdint>

constexpr int RandomMax = 0x7FFF;

void seedRandom(uint32_t seed);

// Next draw in 0..32767.
int drawRandom();
