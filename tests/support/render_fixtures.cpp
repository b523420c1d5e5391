#include "tests/support/render_fixtures.h"

#include "battle/fleet.h"
#include "data/effects.h"

#include <cstddef>

namespace {
void makeImage(TextureImage& image, int width, int height, int bytesPerPixel) {
    destroyTextureImage(image);
    image.width = width;
    image.height = height;
    image.pixels = new uint8_t[static_cast<std::size_t>(width * height * bytesPerPixel)]();
}

// A quad-like sprite: four corners, three triangles (the third repeats the first).
void makeSprite(Mesh& mesh) {
    destroyMesh(mesh);
    mesh.vertexCount = 4;
    mesh.vertices = new MeshVertex[4]{
        {-1, -1, 0, 0, 0, 0, 0, 1, 0},
        {1, -1, 0, 1, 0, 0, 0, 1, 0},
        {1, 1, 0, 1, 1, 0, 0, 1, 0},
        {-1, 1, 0, 0, 1, 0, 0, 1, 0},
    };
    mesh.triangleCount = 3;
    mesh.triangles = new MeshTriangle[3]{{0, 1, 2}, {2, 3, 0}, {0, 1, 2}};
}

void makePart(Mesh& part, TextureImage& image, uint32_t texture) {
    part.image = &image;
    part.texture = texture;
    part.triangleCount = 2;
    part.positions = new float[18]();
    part.normals = new float[18]();
    part.texCoords = new float[12]();
}

void makeShieldMesh(Mesh& shield) {
    shield.vertexCount = HitPointCount;
    shield.vertices = new MeshVertex[HitPointCount]();
    for (int i = 0; i < HitPointCount; ++i) {
        MeshVertex& v = shield.vertices[i];
        v.x = static_cast<float>(i + 1);
        v.u = static_cast<float>(i) / HitPointCount;
        v.v = 1.0f - v.u;
    }
    shield.triangleCount = ShieldTriangleCount + 2; // only the first 48 belong to the bubble
    shield.triangles = new MeshTriangle[ShieldTriangleCount + 2];
    for (int t = 0; t < ShieldTriangleCount + 2; ++t)
        shield.triangles[t] = {t % HitPointCount, (t + 1) % HitPointCount, (t + 2) % HitPointCount};
}

void releaseRace(RaceData& race) {
    delete[] race.meshes;
    for (int i = 0; i < race.textureCount; ++i)
        destroyTextureImage(race.textureTable[i]);
    delete[] race.textureTable;
    race = RaceData();
}
} // namespace

void setUpTestEffects() {
    for (int f = 0; f < ExplosionFrameCount; ++f) {
        makeImage(Effects.explosionFrames[f], 2, 2, 4);
        Effects.explosionTextures[f] = TestExplosionTextureBase + f;
    }
    Effects.explosionFrameCount = ExplosionFrameCount;
    makeImage(Effects.shieldImage, 4, 2, 4);
    makeImage(Effects.damageImage, 5, 3, 4);
    makeImage(Effects.smokeImage, 6, 4, 4);
    Effects.shieldTexture = TestShieldTexture;
    Effects.damageTexture = TestDamageTexture;
    Effects.smokeTexture = TestSmokeTexture;
    makeSprite(Effects.spriteMesh);
}

void tearDownTestEffects() {
    for (TextureImage& image : Effects.explosionFrames)
        destroyTextureImage(image);
    destroyTextureImage(Effects.shieldImage);
    destroyTextureImage(Effects.damageImage);
    destroyTextureImage(Effects.smokeImage);
    destroyMesh(Effects.spriteMesh);
}

void setUpTestFleet(int alliance, int shipCount, int partCount) {
    FleetState& fleet = fleetOf(alliance);
    fleet.raceCount = 1;
    fleet.races = new RaceData[1];
    RaceData& race = fleet.races[0];
    race.meshCount = partCount;
    race.meshes = new Mesh[partCount + 1];
    race.textureCount = partCount;
    race.textureTable = new TextureImage[partCount > 0 ? partCount : 1];
    for (int i = 0; i < partCount; ++i) {
        makeImage(race.textureTable[i], 3 + i, 1, 3);
        makePart(race.meshes[i], race.textureTable[i], TestPartTextureBase + 10 * alliance + i);
    }
    makeShieldMesh(race.meshes[partCount]);
    race.shieldColour[0] = 0.25f;
    race.shieldColour[1] = 0.5f;
    race.shieldColour[2] = 0.75f;

    fleet.shipCount = shipCount;
    fleet.ships = new Ship[shipCount > 0 ? shipCount : 1];
    for (int s = 0; s < shipCount; ++s) {
        Ship& ship = fleet.ships[s];
        initShipForRace(ship, alliance, 0, partCount);
        ship.position[0] = s + 1;
        ship.position[1] = -2.0 * alliance;
        ship.position[2] = 0.5;
    }
}

void tearDownTestFleets() {
    for (FleetState& fleet : Fleets) {
        delete[] fleet.ships;
        for (int r = 0; r < fleet.raceCount; ++r)
            releaseRace(fleet.races[r]);
        delete[] fleet.races;
        fleet = FleetState();
    }
}

Ship& testShip(int alliance, int index) {
    return fleetOf(alliance).ships[index];
}
const RaceData& testRace(int alliance) {
    return fleetOf(alliance).races[0];
}
