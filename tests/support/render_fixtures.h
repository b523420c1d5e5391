// Small fleets and effect assets for the drawing tests: every texture has a
// distinct name so a test can tell from the recorded binds what was drawn.
#pragma once
#include "battle/ship.h"
#include "data/race_data.h"

constexpr uint32_t TestPartTextureBase = 10; // part i of alliance a: base + 10 * a + i
constexpr uint32_t TestShieldTexture = 200;
constexpr uint32_t TestDamageTexture = 201;
constexpr uint32_t TestSmokeTexture = 202;
constexpr uint32_t TestExplosionTextureBase = 300; // frame f: base + f

// Fills Effects with tiny images, the texture names above and a sprite mesh
// of three triangles.
void setUpTestEffects();
void tearDownTestEffects();

// Gives alliance 1 or 2 one race of `partCount` parts (two triangles each)
// and `shipCount` ships of it, shields up, at distinct positions. The race's
// shield mesh has 26 vertices and 48 triangles, vertex i at (i + 1, 0, 0).
void setUpTestFleet(int alliance, int shipCount, int partCount);
// Releases both test fleets and leaves Fleets empty.
void tearDownTestFleets();

Ship& testShip(int alliance, int index);
const RaceData& testRace(int alliance);
