// A race as loaded for one fleet entry.
#pragma once
#include "data/mesh.h"

#include <cstdint>

struct RaceData {
    Mesh* meshes = nullptr;        // meshCount part meshes, then the shield mesh; owned
    int32_t meshCount = 0;         // part meshes only
    float shieldColour[3] = {0, 0, 0};
    float beamColourNear[3] = {0, 0, 0};
    float beamColourFar[3] = {0, 0, 0};
    uint32_t projectileTexture = 0;
    TextureImage* projectileImage = nullptr; // owned
    TextureImage* textureTable = nullptr;    // owned, textureCount images
    int32_t textureCount = 0;
};

// The shield mesh of a race: its vertices 0..25 are the ship's hit points.
inline const Mesh& shieldMesh(const RaceData& race) { return race.meshes[race.meshCount]; }

constexpr int HitPointCount = 26;
constexpr int ShieldTriangleCount = 48;
