// Small, well-formed race and effects records for the data-file tests.
#pragma once
#include "data/formats.h"
#include "data/race_data.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

inline ImageRecord sampleImage(int32_t width, int32_t height, int bytesPerPixel, uint8_t seed) {
    ImageRecord image;
    image.width = width;
    image.height = height;
    image.pixels.resize(size_t(width * height * bytesPerPixel));
    for (size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = uint8_t(seed + i * 7);
    return image;
}

// A tetrahedron around the origin, counter-clockwise as seen from outside.
inline MeshRecord tetrahedron(float scale = 1) {
    MeshRecord mesh;
    mesh.positions = {{scale, scale, scale},
                      {scale, -scale, -scale},
                      {-scale, scale, -scale},
                      {-scale, -scale, scale}};
    mesh.triangles = {{0, 1, 2}, {0, 3, 1}, {0, 2, 3}, {1, 3, 2}};
    mesh.texCoords = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    return mesh;
}

// 26 hit-point vertices and 48 triangles over them.
inline MeshRecord sampleShield() {
    MeshRecord mesh;
    for (int i = 0; i < HitPointCount; ++i) {
        mesh.positions.push_back({float(i), float(i % 5), float(-i)});
        mesh.texCoords.push_back({float(i) / 26, 0.5f});
    }
    for (int f = 0; f < ShieldTriangleCount; ++f)
        mesh.triangles.push_back({f % 26, (f + 1) % 26, (f + 7) % 26});
    return mesh;
}

// Two RGB textures; three parts, the first two sharing texture 1.
inline RaceFileRecord sampleRace() {
    RaceFileRecord race;
    race.headValue = 0x1234;
    race.raceName = "Vesk";
    race.description = "Swift raiders";
    race.textures = {sampleImage(2, 1, 3, 10), sampleImage(1, 3, 3, 90)};
    race.parts.resize(3);
    race.parts[0].mesh = tetrahedron();
    race.parts[0].textureIndex = 1;
    race.parts[1].mesh = tetrahedron(2);
    race.parts[1].textureIndex = 1;
    race.parts[2].mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    race.parts[2].mesh.triangles = {{0, 1, 2}};
    race.parts[2].mesh.texCoords = {{0.25f, 0.5f}, {0.75f, 0.5f}, {0.5f, 1}};
    race.parts[2].textureIndex = 0;
    race.beamColourNear[0] = 0.1f, race.beamColourNear[1] = 0.2f, race.beamColourNear[2] = 0.3f;
    race.beamColourFar[0] = 0.4f, race.beamColourFar[1] = 0.5f, race.beamColourFar[2] = 0.6f;
    race.shieldColour[0] = 0.7f, race.shieldColour[1] = 0.8f, race.shieldColour[2] = 0.9f;
    race.reservedValue = 77;
    for (size_t i = 0; i < race.reserved.size(); ++i)
        race.reserved[i] = int32_t(i * 3 + 1);
    race.projectile = sampleImage(2, 2, 4, 200);
    race.shield = sampleShield();
    return race;
}

inline EffectsFileRecord sampleEffects() {
    EffectsFileRecord effects;
    effects.headValue = -5;
    for (int i = 0; i < 50; ++i)
        effects.frames.push_back(sampleImage(1, 2, 4, uint8_t(i)));
    for (int i = 0; i < 6; ++i)
        effects.backgrounds[size_t(i)] = sampleImage(2, 2, 3, uint8_t(i));
    effects.meshHeads = {11, 22, 33};
    effects.sprite.positions = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
    effects.sprite.triangles = {{0, 1, 2}, {0, 2, 3}};
    effects.sprite.texCoords = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    effects.blast = tetrahedron();
    // The spare mesh stays empty.
    for (size_t i = 0; i < effects.reserved.size(); ++i)
        effects.reserved[i] = int32_t(i);
    effects.shield = sampleImage(1, 1, 4, 1);
    effects.blastImage = sampleImage(2, 1, 4, 2);
    effects.spareImage = sampleImage(1, 1, 4, 3);
    effects.damage = sampleImage(4, 2, 4, 4);
    effects.smoke = sampleImage(1, 4, 4, 5);
    return effects;
}

// A fresh directory under the temporary folder, ending in '/'; removed by the destructor.
struct TempDirectory {
    std::string path;
    TempDirectory() {
        char pattern[] = "/tmp/kestrion-data-XXXXXX";
        path = std::string(mkdtemp(pattern)) + "/";
    }
    ~TempDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;
};
