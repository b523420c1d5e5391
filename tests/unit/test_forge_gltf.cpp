#include "data_samples.h"
#include "tools/forge/authoring.h"
#include "tools/forge/forge.h"
#include "tools/forge/geometry.h"
#include "tools/forge/seeds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace {
namespace fs = std::filesystem;
using Layout = GltfShip::Layout;

struct GltfImport {
    TempDirectory dir;
    std::string model;
    std::string output = dir.path + "Testa.ast";
    std::string errors;

    explicit GltfImport(const GltfShip& ship) {
        for (const SeedFile& file : gltfShip(ship)) {
            put(file.name, file.bytes);
            if (file.name != "ship.bin" && file.name != "hull.png") model = dir.path + file.name;
        }
    }
    void put(const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(writeFileBytes(dir.path + name, bytes));
    }
    std::string text() {
        std::vector<uint8_t> bytes;
        readFileBytes(model, bytes);
        return {bytes.begin(), bytes.end()};
    }
    void edit(const std::string& from, const std::string& to) {
        std::string t = text();
        size_t at = t.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        t.replace(at, from.size(), to);
        put(fs::path(model).filename().string(), {t.begin(), t.end()});
    }
    int command() {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int status = runForge(
            {"import", model, "-o", output, "--name", "Testa", "--description", "Made by a test"});
        testing::internal::GetCapturedStdout();
        errors = testing::internal::GetCapturedStderr();
        return status;
    }
    RaceFileRecord race() {
        std::vector<uint8_t> bytes;
        RaceFileRecord race;
        EXPECT_TRUE(readFileBytes(output, bytes));
        std::string error;
        EXPECT_TRUE(parseRaceFile(bytes.data(), bytes.size(), race, &error)) << error;
        return race;
    }
};

Bounds partBounds(const PartRecord& part) {
    return boundsOf({&part.mesh});
}

// The tapered box flies nose first: its narrow end (model +z) along -y, its
// top (model +y) along +z, its longest side the default ship length.
void expectNoseFirst(const RaceFileRecord& race) {
    std::vector<const MeshRecord*> hull;
    for (const PartRecord& p : race.parts)
        hull.push_back(&p.mesh);
    Bounds b = boundsOf(hull);
    EXPECT_NEAR(b.high.y - b.low.y, DefaultShipLength, 1e-4);
    EXPECT_LT(b.high.x - b.low.x, b.high.y - b.low.y);
    EXPECT_LT(b.high.z - b.low.z, b.high.x - b.low.x);
    for (const PartRecord& part : race.parts) {
        Bounds own = partBounds(part);
        float noseWidth = 0, tailWidth = 0, centre = (own.low.x + own.high.x) / 2;
        for (const auto& p : part.mesh.positions) {
            float half = std::abs(p[0] - centre);
            if (std::abs(p[1] - own.low.y) < 1e-4) noseWidth = std::max(noseWidth, half);
            if (std::abs(p[1] - own.high.y) < 1e-4) tailWidth = std::max(tailWidth, half);
        }
        EXPECT_NEAR(noseWidth * 2, tailWidth, 1e-4);
    }
}

TEST(ForgeGltf, EveryLayoutImportsTheSameTexturedShip) {
    std::vector<RaceFileRecord> races;
    for (Layout layout : {Layout::Separate, Layout::Binary, Layout::DataUris}) {
        GltfImport t({layout});
        ASSERT_EQ(t.command(), 0) << t.errors;
        RaceFileRecord race = t.race();
        ASSERT_EQ(race.parts.size(), 1u);
        EXPECT_EQ(race.parts[0].mesh.positions.size(), 24u);
        EXPECT_EQ(race.parts[0].mesh.triangles.size(), 12u);
        ASSERT_EQ(race.textures.size(), 1u);
        EXPECT_EQ(race.textures[0].width, 8);
        EXPECT_EQ(race.textures[0].height, 4);
        // BGR, the picture's colour.
        EXPECT_EQ(race.textures[0].pixels[0], GltfShipColour[2]);
        EXPECT_EQ(race.textures[0].pixels[2], GltfShipColour[0]);
        expectNoseFirst(race);
        races.push_back(race);
    }
    EXPECT_EQ(writeRaceFile(races[1]), writeRaceFile(races[0]));
    EXPECT_EQ(writeRaceFile(races[2]), writeRaceFile(races[0]));
}

TEST(ForgeGltf, HierarchyPlacesEachInstanceAndNoNormalsDrawFlat) {
    GltfImport nested({Layout::Binary, true, true, true});
    ASSERT_EQ(nested.command(), 0) << nested.errors;
    RaceFileRecord race = nested.race();
    ASSERT_EQ(race.parts.size(), 2u);
    expectNoseFirst(race);
    // Both copies scaled alike; their centres 3 model units apart, 1.5 box widths.
    Bounds a = partBounds(race.parts[0]), b = partBounds(race.parts[1]);
    float width = a.high.x - a.low.x;
    EXPECT_NEAR(b.high.x - b.low.x, width, 1e-5);
    EXPECT_NEAR((b.low.x + b.high.x) / 2 - (a.low.x + a.high.x) / 2, 1.5f * width, 1e-4);
    EXPECT_NEAR(a.low.y, b.low.y, 1e-5);

    // Without normals every triangle has its own corners; without a texture
    // the base colour becomes a plain texture of the same sRGB colour.
    GltfImport flat({Layout::DataUris, false, false});
    ASSERT_EQ(flat.command(), 0) << flat.errors;
    race = flat.race();
    ASSERT_EQ(race.parts.size(), 1u);
    EXPECT_EQ(race.parts[0].mesh.positions.size(), 36u);
    expectNoseFirst(race);
    ASSERT_EQ(race.textures.size(), 1u);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(race.textures[0].pixels[size_t(c)], GltfShipColour[2 - c], 1) << c;
}

TEST(ForgeGltf, BrokenModelsAreRefusedWithOneLineAndNoFile) {
    auto refuses = [](const std::string& what, GltfShip ship,
                      const std::function<void(GltfImport&)>& spoil, const std::string& named) {
        GltfImport t(ship);
        spoil(t);
        EXPECT_EQ(t.command(), 2) << what;
        EXPECT_FALSE(fs::exists(t.output)) << what;
        EXPECT_NE(t.errors.find(named), std::string::npos) << what << ": " << t.errors;
        EXPECT_EQ(std::count(t.errors.begin(), t.errors.end(), '\n'), 1) << what << t.errors;
    };
    auto edit = [](std::string from, std::string to) {
        return [from, to](GltfImport& t) { t.edit(from, to); };
    };
    refuses(
        "missing buffer", {Layout::Separate},
        [](GltfImport& t) { fs::remove(t.dir.path + "ship.bin"); },
        "ship.gltf: names ship.bin, which is not there");
    refuses(
        "missing image", {Layout::Separate},
        [](GltfImport& t) { fs::remove(t.dir.path + "hull.png"); },
        "hull.png: image file not found");
    refuses(
        "image that does not decode", {Layout::Separate},
        [](GltfImport& t) {
            t.put("hull.png", {'n', 'o', 'p', 'e'});
        },
        "hull.png: not an image");
    refuses(
        "short buffer", {Layout::Separate},
        [](GltfImport& t) { t.put("ship.bin", std::vector<uint8_t>(100)); }, "ship.gltf: ");
    refuses(
        "truncated .glb", {Layout::Binary},
        [](GltfImport& t) {
            std::string s = t.text();
            t.put("ship.glb", std::vector<uint8_t>(s.begin(), s.begin() + long(s.size() / 2)));
        },
        "ship.glb: ");
    refuses("index out of range", {Layout::DataUris},
            edit("\"count\":24,\"type\":\"VEC3\"}", "\"count\":3,\"type\":\"VEC3\"}"),
            "out of range");
    refuses("points", {Layout::DataUris}, edit("\"indices\":", "\"mode\":0,\"indices\":"),
            "only points and lines");
    refuses("sparse", {Layout::DataUris},
            edit("\"count\":24,\"type\":\"VEC3\"}",
                 "\"count\":24,\"type\":\"VEC3\",\"sparse\":{\"count\":1,\"indices\":{"
                 "\"bufferView\":3,\"componentType\":5123},\"values\":{\"bufferView\":0}}}"),
            "sparse accessors are not supported");
    refuses("Draco", {Layout::DataUris},
            edit("\"scene\":0", "\"extensionsRequired\":[\"KHR_draco_mesh_compression\"],"
                                "\"extensionsUsed\":[\"KHR_draco_mesh_compression\"],\"scene\":0"),
            "KHR_draco_mesh_compression");
    refuses(
        "not glTF at all", {Layout::DataUris},
        [](GltfImport& t) {
            t.put("ship.gltf", {'{', '"', 'a'});
        },
        "ship.gltf: ");
    refuses("node cycle", {Layout::DataUris, true, true, true},
            edit("{\"mesh\":0,\"translation\"", "{\"children\":[0],\"mesh\":0,\"translation\""),
            "its own ancestor");
}
} // namespace

namespace {
TEST(ForgeGltf, ModelFileNamesGiveRaceNamesThatFitAFleetEntry) {
    EXPECT_EQ(raceNameForModel("/import/Tapered_Cutter-2.glb"), "Tapered Cutter 2");
    EXPECT_EQ(raceNameForModel("_.obj"), "Imported");
    // Cut at 24 bytes, never inside a character: "é" is two bytes.
    const std::string cut = raceNameForModel(std::string(23, 'a') + "\xC3\xA9tail.gltf");
    EXPECT_EQ(cut, std::string(23, 'a'));
    EXPECT_LT(fleetEntryText(std::string(24, 'a'), 20, "Imported").size(), FleetEntryCapacity);
}
} // namespace
