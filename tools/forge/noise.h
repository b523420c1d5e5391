// Deterministic numbers for the generators: integer hashing, a small generator,
// gradient noise and sine/cosine from plain arithmetic, so that every build of
// the forge writes the same bytes (no libm beyond sqrt, no rand, no clock).
#pragma once
#include <cstdint>

uint32_t hashU32(uint32_t x);
uint32_t hash2(int32_t x, int32_t y, uint32_t seed);
// 0..1 from a hash.
float hashUnit(uint32_t h);

// A small counter-based generator (splitmix64).
struct Rng {
    uint64_t state;
};
Rng makeRng(uint32_t seed);
uint32_t nextU32(Rng& rng);
float nextUnit(Rng& rng); // [0, 1)
float nextRange(Rng& rng, float lo, float hi);
int nextInt(Rng& rng, int n); // 0..n-1

// sin and cos of a whole number of turns (1 turn = 360 degrees), by a series.
double turnSin(double turns);
double turnCos(double turns);

// Gradient noise, about -1..1. A period > 0 makes the noise repeat every
// `period` units along that axis (for textures that wrap).
float noise2(float x, float y, uint32_t seed, int periodX = 0, int periodY = 0);
float noise3(float x, float y, float z, uint32_t seed, int periodZ = 0);

// Sums of octaves, each twice the frequency and half the amplitude; about -1..1.
// With a period, octave k repeats every period << k lattice units.
float fbm2(float x, float y, uint32_t seed, int octaves, int period = 0);
float fbm3(float x, float y, float z, uint32_t seed, int octaves, int periodZ = 0);

// Distance to the nearest and second nearest of one jittered point per cell,
// repeating every `period` cells (0: no repeat). In cell units.
struct CellDistance {
    float nearest;
    float second;
    uint32_t id; // hash of the nearest cell
};
CellDistance cellNoise(float x, float y, uint32_t seed, int period = 0);

float clamp01(float x);
float mix(float a, float b, float t);
float smoothstep(float edge0, float edge1, float x);
