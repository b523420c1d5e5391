// A small battle built in memory for the battle tests: one race per alliance,
// N ships each, the effect meshes the drawing needs, the puff list and a fake
// clock. Everything is released again when the world goes.
#pragma once
#include "battle/fleet.h"
#include "data/effects.h"
#include "platform/clock.h"
#include "render/smoke.h"

#include <cmath>
#include <cstdint>

namespace battle_test {

constexpr uint32_t ClockStart = 100000;

// Shield hit point i of the test races: spread around the ship, off every axis.
inline void shieldPoint(int i, float out[3]) {
    const double a = i * 0.7;
    out[0] = static_cast<float>(0.4 * std::cos(a));
    out[1] = static_cast<float>(0.3 * std::sin(a));
    out[2] = static_cast<float>(0.05 * (i % 5) - 0.1);
}

inline void fillMesh(Mesh& mesh, int vertexCount, int triangleCount) {
    mesh.vertexCount = vertexCount;
    mesh.triangleCount = triangleCount;
    mesh.vertices = new MeshVertex[vertexCount]();
    mesh.triangles = new MeshTriangle[triangleCount]();
    for (int i = 0; i < vertexCount; ++i) {
        mesh.vertices[i].x = static_cast<float>(i % 3) * 0.1f;
        mesh.vertices[i].y = static_cast<float>(i % 2) * 0.1f;
        mesh.vertices[i].u = static_cast<float>(i % 2);
        mesh.vertices[i].v = static_cast<float>((i / 2) % 2);
        mesh.vertices[i].nz = 1;
    }
    for (int t = 0; t < triangleCount; ++t)
        mesh.triangles[t] = {t % vertexCount, (t + 1) % vertexCount, (t + 2) % vertexCount};
}

inline void buildRace(RaceData& race, int partCount, int alliance) {
    race.meshCount = partCount;
    race.meshes = new Mesh[partCount + 1];
    race.textureCount = 1;
    race.textureTable = new TextureImage[1];
    for (int p = 0; p < partCount; ++p) {
        Mesh& part = race.meshes[p];
        fillMesh(part, 4, 2);
        part.positions = new float[9 * 2]();
        part.normals = new float[9 * 2]();
        part.texCoords = new float[6 * 2]();
        part.image = &race.textureTable[0];
        part.texture = 300 + alliance * 10 + p;
    }
    Mesh& shield = race.meshes[partCount];
    fillMesh(shield, 26, 48);
    for (int i = 0; i < 26; ++i) {
        float p[3];
        shieldPoint(i, p);
        shield.vertices[i].x = p[0];
        shield.vertices[i].y = p[1];
        shield.vertices[i].z = p[2];
    }
    const float near1[3] = {1, 0, 0}, far1[3] = {1, 1, 0};
    const float near2[3] = {0, 0, 1}, far2[3] = {0, 1, 1};
    for (int c = 0; c < 3; ++c) {
        race.shieldColour[c] = 0.5f;
        race.beamColourNear[c] = alliance == 1 ? near1[c] : near2[c];
        race.beamColourFar[c] = alliance == 1 ? far1[c] : far2[c];
    }
    race.projectileTexture = 70 + alliance;
    race.projectileImage = new TextureImage();
}

struct BattleWorld {
    explicit BattleWorld(int ships1, int ships2, int partCount = 3,
                         uint32_t clockStart = ClockStart) {
        useFakeClock(clockStart);
        createPuffList();
        fillMesh(Effects.spriteMesh, 5, 3);
        fillMesh(Effects.blastMesh, 6, 4);
        for (int f = 0; f < ExplosionFrameCount; ++f)
            Effects.explosionTextures[f] = 500 + f;
        Effects.explosionFrameCount = ExplosionFrameCount;
        Effects.blastTexture = 600;
        Effects.smokeTexture = 601;
        Effects.shieldTexture = 602;
        Effects.damageTexture = 603;
        const int counts[2] = {ships1, ships2};
        for (int a = 1; a <= 2; ++a) {
            FleetState& fleet = fleetOf(a);
            fleet.raceCount = 1;
            fleet.races = new RaceData[1];
            buildRace(fleet.races[0], partCount, a);
            fleet.shipCount = counts[a - 1];
            fleet.ships = fleet.shipCount > 0 ? new Ship[fleet.shipCount] : nullptr;
            for (int i = 0; i < fleet.shipCount; ++i)
                initShipForRace(fleet.ships[i], a, 0, partCount);
        }
    }

    ~BattleWorld() {
        // Each ship frees its lists, missiles in flight among them.
        releaseFleet(Fleets[0]);
        releaseFleet(Fleets[1]);
        destroyMesh(Effects.spriteMesh);
        destroyMesh(Effects.blastMesh);
        Effects.spriteMesh.triangleCount = Effects.spriteMesh.vertexCount = 0;
        Effects.blastMesh.triangleCount = Effects.blastMesh.vertexCount = 0;
        releasePuffList();
        setClockSource(nullptr);
    }

    BattleWorld(const BattleWorld&) = delete;
    BattleWorld& operator=(const BattleWorld&) = delete;

    Ship& ship(int alliance, int index) { return fleetOf(alliance).ships[index]; }
};

inline void place(Ship& ship, double x, double y, double z) {
    ship.position[0] = x;
    ship.position[1] = y;
    ship.position[2] = z;
}

inline int countBeams(const Ship& ship) {
    int n = 0;
    for (const BeamShot* b = ship.shots->next; b; b = b->next)
        ++n;
    return n;
}

inline int countMissiles(const Ship& ship) {
    int n = 0;
    for (const Missile* m = ship.missiles->next; m; m = m->next)
        ++n;
    return n;
}

inline int countPuffs() {
    int n = 0;
    for (const SmokePuff* p = PuffListHead ? PuffListHead->next : nullptr; p; p = p->next)
        ++n;
    return n;
}

// The draw the generator will give after `skip` more draws from `seed`,
// computed on the side with the same arithmetic.
inline int drawAfter(uint32_t seed, int skip) {
    uint32_t s = seed;
    int r = 0;
    for (int i = 0; i <= skip; ++i) {
        s = s * 214013u + 2531011u;
        r = static_cast<int>((s >> 16) & 0x7FFF);
    }
    return r;
}

} // namespace battle_test
