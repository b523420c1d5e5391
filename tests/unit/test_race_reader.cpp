#include "data/race_reader.h"
#include "tests/support/recording_gl.h"
#include "tests/unit/data_samples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

struct LoadedRace {
    TempDirectory dir;
    RaceData race;
    Mesh* meshes = nullptr;
    explicit LoadedRace(const RaceFileRecord& record) {
        EXPECT_TRUE(writeFileBytes(dir.path + "race.ast", writeRaceFile(record)));
        installRecordingGL();
        meshes = readRaceFile(dir.path + "race.ast", race);
    }
    ~LoadedRace() { releaseRaceData(race); }
};

void fillMesh(Mesh& mesh, const MeshRecord& record) {
    mesh.vertexCount = int32_t(record.positions.size());
    mesh.triangleCount = int32_t(record.triangles.size());
    mesh.vertices = new MeshVertex[record.positions.size()]();
    mesh.triangles = new MeshTriangle[record.triangles.size()];
    for (size_t i = 0; i < record.positions.size(); ++i) {
        mesh.vertices[i].x = record.positions[i][0];
        mesh.vertices[i].y = record.positions[i][1];
        mesh.vertices[i].z = record.positions[i][2];
        mesh.vertices[i].nx = 99; // stale values the computation must clear
        mesh.vertices[i].useCount = 99;
    }
    for (size_t f = 0; f < record.triangles.size(); ++f)
        mesh.triangles[f] = record.triangles[f];
}

void expectNormal(const MeshVertex& v, float x, float y, float z) {
    EXPECT_NEAR(v.nx, x, 1e-6);
    EXPECT_NEAR(v.ny, y, 1e-6);
    EXPECT_NEAR(v.nz, z, 1e-6);
}

void expectUpload(const std::vector<GLCall>& calls, size_t at, uint32_t name,
                  const TextureImage& image, int components, GLenum format) {
    const char* expected[] = {"glBindTexture", "glTexParameterf", "glTexParameterf", "glTexEnvf",
                              "glTexImage2D"};
    for (size_t i = 0; i < 5; ++i)
        ASSERT_EQ(calls[at + i].name, expected[i]) << at + i;
    EXPECT_EQ(calls[at].args, (std::vector<double>{GL_TEXTURE_2D, double(name)}));
    const GLCall& load = calls[at + 4];
    EXPECT_EQ(load.args,
              (std::vector<double>{GL_TEXTURE_2D, 0, double(components), double(image.width),
                                   double(image.height), 0, double(format), GL_UNSIGNED_BYTE}));
    EXPECT_EQ(load.pointers[0], image.pixels);
}

} // namespace

TEST(RaceReader, FillsTheRecordFromTheFile) {
    LoadedRace loaded(sampleRace());
    const RaceData& race = loaded.race;
    ASSERT_NE(loaded.meshes, nullptr);
    EXPECT_EQ(loaded.meshes, race.meshes);
    EXPECT_EQ(race.meshCount, 3);
    // The file keeps the shield colour after the beam colours; the record is filled by name.
    EXPECT_EQ(race.shieldColour[0], 0.7f);
    EXPECT_EQ(race.shieldColour[2], 0.9f);
    EXPECT_EQ(race.beamColourNear[0], 0.1f);
    EXPECT_EQ(race.beamColourFar[2], 0.6f);

    ASSERT_EQ(race.textureCount, 2);
    RaceFileRecord sample = sampleRace();
    EXPECT_EQ(race.textureTable[1].width, 1);
    EXPECT_EQ(race.textureTable[1].height, 3);
    EXPECT_EQ(0, std::memcmp(race.textureTable[1].pixels, sample.textures[1].pixels.data(), 9));
    ASSERT_NE(race.projectileImage, nullptr);
    EXPECT_EQ(race.projectileImage->width, 2);
    EXPECT_EQ(0, std::memcmp(race.projectileImage->pixels, sample.projectile.pixels.data(), 16));

    // Part meshes 0 and 1 share table entry 1 but each has a texture name of its own.
    EXPECT_EQ(race.meshes[0].image, &race.textureTable[1]);
    EXPECT_EQ(race.meshes[1].image, &race.textureTable[1]);
    EXPECT_EQ(race.meshes[2].image, &race.textureTable[0]);
    EXPECT_NE(race.meshes[0].texture, race.meshes[1].texture);
    EXPECT_NE(race.meshes[0].texture, 0u);
    EXPECT_NE(race.projectileTexture, 0u);

    const Mesh& part = race.meshes[2];
    EXPECT_EQ(part.vertexCount, 3);
    EXPECT_EQ(part.triangleCount, 1);
    EXPECT_EQ(part.vertices[1].x, 1.0f);
    EXPECT_EQ(part.vertices[1].u, 0.75f);
    EXPECT_EQ(part.vertices[2].v, 1.0f);

    // The shield mesh: geometry only, drawn vertex by vertex.
    const Mesh& shield = shieldMesh(race);
    EXPECT_EQ(shield.vertexCount, 26);
    EXPECT_EQ(shield.triangleCount, 48);
    EXPECT_EQ(shield.vertices[25].x, 25.0f);
    EXPECT_EQ(shield.triangles[47].c, (47 + 7) % 26);
    EXPECT_EQ(shield.image, nullptr);
    EXPECT_EQ(shield.positions, nullptr);
    EXPECT_EQ(shield.normals, nullptr);
    EXPECT_EQ(shield.texCoords, nullptr);
    EXPECT_EQ(shield.texture, 0u);
    EXPECT_EQ(shield.vertices[0].nx, 0.0f);
}

TEST(RaceReader, CreatesAndUploadsTexturesInFileOrder) {
    LoadedRace loaded(sampleRace());
    const RaceData& race = loaded.race;
    ASSERT_NE(loaded.meshes, nullptr);
    const std::vector<GLCall>& calls = RecordingGL.calls;
    ASSERT_EQ(calls.size(), 4u * 6u);
    // Per part: one name, then its image uploaded as BGR; last the projectile as BGRA.
    for (size_t i = 0; i < 4; ++i) {
        const GLCall& gen = calls[6 * i];
        ASSERT_EQ(gen.name, "glGenTextures");
        EXPECT_EQ(gen.args[0], 1);
        if (i < 3) {
            EXPECT_EQ(gen.pointers[0], &race.meshes[i].texture);
            expectUpload(calls, 6 * i + 1, race.meshes[i].texture, *race.meshes[i].image, 3,
                         GL_BGR_EXT);
        } else {
            expectUpload(calls, 6 * i + 1, race.projectileTexture, *race.projectileImage, 4,
                         GL_BGRA_EXT);
        }
    }
}

TEST(RaceReader, BuildsDrawArraysInCornerOrder) {
    LoadedRace loaded(sampleRace());
    for (int m = 0; m < loaded.race.meshCount; ++m) {
        const Mesh& mesh = loaded.race.meshes[m];
        ASSERT_NE(mesh.positions, nullptr);
        for (int f = 0; f < mesh.triangleCount; ++f) {
            const int32_t corners[3] = {mesh.triangles[f].a, mesh.triangles[f].b,
                                        mesh.triangles[f].c};
            for (int k = 0; k < 3; ++k) {
                const MeshVertex& v = mesh.vertices[corners[k]];
                const float* p = mesh.positions + 9 * f + 3 * k;
                const float* n = mesh.normals + 9 * f + 3 * k;
                const float* uv = mesh.texCoords + 6 * f + 2 * k;
                EXPECT_EQ(std::vector<float>(p, p + 3), (std::vector<float>{v.x, v.y, v.z}));
                EXPECT_EQ(std::vector<float>(n, n + 3), (std::vector<float>{v.nx, v.ny, v.nz}));
                EXPECT_EQ(std::vector<float>(uv, uv + 2), (std::vector<float>{v.u, v.v}));
            }
        }
    }
}

TEST(RaceReader, SmallestRaceHasOnlyItsShieldMesh) {
    RaceFileRecord record = sampleRace();
    record.parts.clear();
    record.textures.clear();
    record.raceName.clear();
    record.description.clear();
    LoadedRace loaded(record);
    ASSERT_NE(loaded.meshes, nullptr);
    EXPECT_EQ(loaded.race.meshCount, 0);
    EXPECT_EQ(loaded.race.textureCount, 0);
    EXPECT_EQ(loaded.race.textureTable, nullptr);
    EXPECT_EQ(shieldMesh(loaded.race).vertexCount, 26);
    EXPECT_EQ(callsNamed("glGenTextures").size(), 1u) << "the projectile texture only";
}

TEST(RaceReader, UnreadableOrMalformedFileLeavesTheRecordAlone) {
    TempDirectory dir;
    RaceFileRecord bad = sampleRace();
    bad.parts[1].textureIndex = 5;
    ASSERT_TRUE(writeFileBytes(dir.path + "bad.ast", writeRaceFile(bad)));
    std::vector<uint8_t> cut = writeRaceFile(sampleRace());
    cut.resize(cut.size() - 1);
    ASSERT_TRUE(writeFileBytes(dir.path + "cut.ast", cut));

    for (const char* name : {"missing.ast", "bad.ast", "cut.ast"}) {
        installRecordingGL();
        RaceData race;
        race.meshCount = 42;
        race.shieldColour[0] = 0.5f;
        EXPECT_EQ(readRaceFile(dir.path + name, race), nullptr) << name;
        EXPECT_EQ(race.meshes, nullptr);
        EXPECT_EQ(race.meshCount, 42);
        EXPECT_EQ(race.shieldColour[0], 0.5f);
        EXPECT_EQ(race.textureTable, nullptr);
        EXPECT_EQ(race.projectileImage, nullptr);
        EXPECT_TRUE(RecordingGL.calls.empty()) << name << ": no texture for a rejected file";
    }
}

TEST(RaceReader, ReleaseFreesSharedImagesOnceAndClearsTheRecord) {
    // Two parts share one table image; the sanitizer build catches a second free.
    RaceData race;
    {
        TempDirectory dir;
        ASSERT_TRUE(writeFileBytes(dir.path + "r.ast", writeRaceFile(sampleRace())));
        installRecordingGL();
        ASSERT_NE(readRaceFile(dir.path + "r.ast", race), nullptr);
    }
    releaseRaceData(race);
    EXPECT_EQ(race.meshes, nullptr);
    EXPECT_EQ(race.meshCount, 0);
    EXPECT_EQ(race.textureTable, nullptr);
    EXPECT_EQ(race.textureCount, 0);
    EXPECT_EQ(race.projectileImage, nullptr);
    releaseRaceData(race); // an empty record releases nothing
}

TEST(VertexNormals, FollowTheWindingAndWeighByArea) {
    // Counter-clockwise seen from +z: the face normal points away from the viewer, to -z.
    MeshRecord flat;
    flat.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    flat.triangles = {{0, 1, 2}};
    Mesh one;
    fillMesh(one, flat);
    computeVertexNormals(one);
    for (int i = 0; i < 3; ++i) {
        expectNormal(one.vertices[i], 0, 0, -1);
        EXPECT_EQ(one.vertices[i].useCount, 1);
    }

    // A closed shape wound counter-clockwise from outside gets normals pointing inward;
    // wound the other way, outward.
    MeshRecord shape = tetrahedron(3);
    Mesh ccw;
    fillMesh(ccw, shape);
    computeVertexNormals(ccw);
    for (auto& t : shape.triangles)
        std::swap(t.b, t.c);
    Mesh cw;
    fillMesh(cw, shape);
    computeVertexNormals(cw);
    for (int i = 0; i < 4; ++i) {
        const auto& p = shape.positions[size_t(i)];
        float inv = 1 / std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        expectNormal(ccw.vertices[i], -p[0] * inv, -p[1] * inv, -p[2] * inv);
        expectNormal(cw.vertices[i], p[0] * inv, p[1] * inv, p[2] * inv);
        EXPECT_EQ(ccw.vertices[i].useCount, 3);
    }

    // Vertex 0 joins a large triangle (normal -z, weight 16) and a small one (normal -y,
    // weight 1): the sum is not of unit face normals. Vertex 5 is used by no triangle.
    MeshRecord corner;
    corner.positions = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {0, 0, 1}, {1, 0, 0}, {7, 7, 7}};
    corner.triangles = {{0, 1, 2}, {0, 3, 4}};
    Mesh weighted;
    fillMesh(weighted, corner);
    computeVertexNormals(weighted);
    float len = std::sqrt(257.0f);
    expectNormal(weighted.vertices[0], 0, -1 / len, -16 / len);
    EXPECT_EQ(weighted.vertices[0].useCount, 2);
    expectNormal(weighted.vertices[3], 0, -1, 0);
    expectNormal(weighted.vertices[5], 0, 0, 0);
    EXPECT_EQ(weighted.vertices[5].useCount, 0);

    // A degenerate triangle leaves its vertices with a zero normal, not NaN.
    MeshRecord line;
    line.positions = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}};
    line.triangles = {{0, 1, 2}};
    Mesh degenerate;
    fillMesh(degenerate, line);
    computeVertexNormals(degenerate);
    expectNormal(degenerate.vertices[1], 0, 0, 0);
}
