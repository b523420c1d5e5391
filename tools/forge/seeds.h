// Small, valid data files for fuzzing: a fuzzer seeded with these runs many
// thousands of times a second, where the default data set's megabytes allow hundreds.
#pragma once
#include "data/formats.h"

#include <string>
#include <vector>

// A race of one 2-triangle part with one 1 x 1 texture, a 1 x 1 projectile
// image and the 26-vertex shield around the part.
RaceFileRecord minimalRace(const std::string& name);
// Every image 1 x 1, the sprite a 2-triangle square, blast and spare the same square.
EffectsFileRecord minimalEffects();

struct SeedFile {
    std::string name;
    std::vector<uint8_t> bytes;
};
// The seeds to fuzz from, all under 2 KB: the minimal file and small edge
// files (no parts, the longest texts, bytes after the end).
std::vector<SeedFile> raceSeeds();
std::vector<SeedFile> effectsSeeds();
// Edge files at the largest counts and sizes the readers accept (1024
// textures, 1024 parts, 4096-pixel sides). At 12 to 16 KB each they would slow
// a fuzzer several times over, so they are run once each instead.
std::vector<SeedFile> raceEdgeSeeds();
std::vector<SeedFile> effectsEdgeSeeds();

// glTF ships: .glb files and .gltf files with data URIs, one without normals or texture.
std::vector<SeedFile> gltfSeeds();

// Writes the five sets into OUTDIR/race, race-edges, effects, effects-edges
// and gltf (created when missing); false with the reason.
bool writeSeedCorpus(const std::string& outDir, std::string* error);

// The "seeds" command: args are {"seeds", OUTDIR}; returns the exit status.
int commandSeeds(const std::vector<std::string>& args);

// A small glTF ship: a box 1 wide (x), 0.5 high (y) and 3 long (z) that
// tapers to half its width and height towards its nose at +z, 24 vertices and
// 12 triangles, textured with an 8 x 4 picture (or coloured, `textured` false).
struct GltfShip {
    enum class Layout { Separate, DataUris, Binary } layout = Layout::Separate;
    bool normals = true;
    bool textured = true;
    // Two copies of the box under a parent node scaled by 2, one moved by
    // -0.75 along x and one by a matrix by +0.75: two parts, 3 units apart.
    bool hierarchy = false;
};
// Its files by name: "ship.gltf" with "ship.bin" and "hull.png", "ship.gltf"
// alone, or "ship.glb".
std::vector<SeedFile> gltfShip(const GltfShip& ship);
// The colour of the ship's texture, and of the ship when it is not textured.
constexpr uint8_t GltfShipColour[3] = {220, 120, 40};
