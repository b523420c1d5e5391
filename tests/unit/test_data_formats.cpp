#include "data/formats.h"
#include "tests/unit/data_samples.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

int32_t int32At(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t v = uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
                 uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
    return int32_t(v);
}

float floatAt(const std::vector<uint8_t>& bytes, size_t offset) {
    int32_t bits = int32At(bytes, offset);
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

void putInt32At(std::vector<uint8_t>& bytes, size_t offset, int32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[offset + size_t(i)] = uint8_t(uint32_t(value) >> (8 * i));
}

size_t meshBytes(const MeshRecord& mesh) {
    return 8 + 20 * mesh.positions.size() + 12 * mesh.triangles.size();
}

bool parsesRace(const std::vector<uint8_t>& bytes, std::string* error = nullptr) {
    RaceFileRecord out;
    return parseRaceFile(bytes.data(), bytes.size(), out, error);
}

bool parsesEffects(const std::vector<uint8_t>& bytes, std::string* error = nullptr) {
    EffectsFileRecord out;
    return parseEffectsFile(bytes.data(), bytes.size(), out, error);
}

} // namespace

// The writer's layout is pinned by the offsets test below, so a parse that
// writes back to the same bytes has read every field into its place.
TEST(RaceFile, RoundTripsEveryField) {
    std::vector<uint8_t> bytes = writeRaceFile(sampleRace());
    RaceFileRecord back;
    std::string error;
    ASSERT_TRUE(parseRaceFile(bytes.data(), bytes.size(), back, &error)) << error;
    EXPECT_EQ(writeRaceFile(back), bytes);
    EXPECT_EQ(back.description, "Swift raiders");
    EXPECT_EQ(back.parts[2].mesh.texCoords[1][0], 0.75f);
    EXPECT_EQ(back.shieldColour[0], 0.7f);
}

TEST(RaceFile, FieldsSitAtTheirFixedOffsets) {
    RaceFileRecord race = sampleRace();
    std::vector<uint8_t> bytes = writeRaceFile(race);
    const size_t n = race.raceName.size(), d = race.description.size();
    EXPECT_EQ(int32At(bytes, 0), 0x1234);
    EXPECT_EQ(int32At(bytes, 4), int32_t(n));
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 8 + long(n)), "Vesk");
    EXPECT_EQ(int32At(bytes, 8 + n), int32_t(d));
    EXPECT_EQ(int32At(bytes, 12 + n + d), 2); // texture count
    EXPECT_EQ(int32At(bytes, 16 + n + d), 2); // first texture's width
    EXPECT_EQ(int32At(bytes, 20 + n + d), 1);

    // From the end: shield mesh, projectile block, 61 reserved values, then the colours.
    size_t colours = bytes.size() - meshBytes(race.shield) - (8 + 4 * 2 * 2) - 61 * 4 - 36;
    const float expected[9] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(floatAt(bytes, colours + 4 * size_t(i)), expected[i]);
    EXPECT_EQ(int32At(bytes, colours + 36), 77);
    EXPECT_EQ(int32At(bytes, colours + 40), 1);  // reserved[0]
    EXPECT_EQ(int32At(bytes, colours + 280), 2); // projectile width
}

TEST(RaceFile, HeadValueAndReservedBytesMayHoldAnything) {
    RaceFileRecord race = sampleRace();
    std::vector<uint8_t> bytes = writeRaceFile(race);
    size_t reserved = bytes.size() - meshBytes(race.shield) - 24 - 244;
    putInt32At(bytes, 0, -1);
    for (size_t i = reserved; i < reserved + 244; ++i)
        bytes[i] = 0xFF;
    RaceFileRecord back;
    ASSERT_TRUE(parseRaceFile(bytes.data(), bytes.size(), back, nullptr));
    EXPECT_EQ(back.headValue, -1);
    EXPECT_EQ(back.reservedValue, -1);
    back.headValue = race.headValue;
    back.reservedValue = race.reservedValue;
    back.reserved = race.reserved;
    EXPECT_EQ(writeRaceFile(back), writeRaceFile(race));
}

TEST(RaceFile, LimitsAreInclusive) {
    // Texts of 99 bytes and images of 4096 pixels a side fit; bytes after the shield
    // mesh are not read.
    RaceFileRecord race = sampleRace();
    race.raceName = std::string(99, 'n');
    race.description = std::string(99, 'd');
    race.textures[0] = sampleImage(MaxImageSide, 1, 3, 0);
    race.projectile = sampleImage(1, MaxImageSide, 4, 0);
    std::vector<uint8_t> bytes = writeRaceFile(race);
    bytes.insert(bytes.end(), {1, 2, 3});
    EXPECT_TRUE(parsesRace(bytes));

    // A shield may have more than 26 vertices; triangles past the 48th may use them.
    race = sampleRace();
    race.shield.positions.push_back({9, 9, 9});
    race.shield.texCoords.push_back({0, 0});
    race.shield.triangles.push_back({26, 0, 1});
    EXPECT_TRUE(parsesRace(writeRaceFile(race)));
}

TEST(RaceFile, EveryTruncationIsRejected) {
    std::vector<uint8_t> bytes = writeRaceFile(sampleRace());
    for (size_t size = 0; size < bytes.size(); ++size) {
        // A fresh copy so the sanitizers see any read past the end.
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(size));
        std::string error;
        ASSERT_FALSE(parsesRace(cut, &error)) << "size " << size;
        ASSERT_FALSE(error.empty());
    }
    RaceFileRecord out;
    EXPECT_FALSE(parseRaceFile(nullptr, 0, out, nullptr));
}

TEST(RaceFile, BadCountsSizesAndIndicesAreRejected) {
    using Change = std::function<void(RaceFileRecord&)>;
    const std::pair<const char*, Change> cases[] = {
        {"name over 99 bytes", [](RaceFileRecord& r) { r.raceName = std::string(100, 'x'); }},
        {"description over 99", [](RaceFileRecord& r) { r.description.assign(100, 'x'); }},
        {"zero-width texture", [](RaceFileRecord& r) { r.textures[0] = sampleImage(0, 4, 3, 0); }},
        {"zero-height projectile",
         [](RaceFileRecord& r) { r.projectile = sampleImage(4, 0, 4, 0); }},
        {"texture wider than 4096",
         [](RaceFileRecord& r) { r.textures[1] = sampleImage(4097, 1, 3, 0); }},
        {"projectile taller than 4096",
         [](RaceFileRecord& r) { r.projectile = sampleImage(1, 4097, 4, 0); }},
        {"negative image side",
         [](RaceFileRecord& r) {
             r.textures[0].width = -2;
             r.textures[0].height = -2;
         }},
        {"texture index -1", [](RaceFileRecord& r) { r.parts[2].textureIndex = -1; }},
        {"texture index T", [](RaceFileRecord& r) { r.parts[0].textureIndex = 2; }},
        {"parts without textures", [](RaceFileRecord& r) { r.textures.clear(); }},
        {"triangle index V", [](RaceFileRecord& r) { r.parts[1].mesh.triangles[3].c = 4; }},
        {"triangle index -1", [](RaceFileRecord& r) { r.parts[2].mesh.triangles[0].a = -1; }},
        {"shield of 25 vertices",
         [](RaceFileRecord& r) {
             r.shield.positions.resize(25);
             r.shield.texCoords.resize(25);
             for (auto& t : r.shield.triangles)
                 t = {0, 1, 2};
         }},
        {"shield of 47 triangles", [](RaceFileRecord& r) { r.shield.triangles.resize(47); }},
        {"shield triangle 47 beyond the hit points",
         [](RaceFileRecord& r) {
             r.shield.positions.push_back({0, 0, 0});
             r.shield.texCoords.push_back({0, 0});
             r.shield.triangles[47].b = 26;
         }},
    };
    for (const auto& [name, change] : cases) {
        RaceFileRecord race = sampleRace();
        change(race);
        std::string error;
        EXPECT_FALSE(parsesRace(writeRaceFile(race), &error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
}

TEST(RaceFile, AbsurdHeaderCountsAreRejectedBeforeAllocating) {
    RaceFileRecord race = sampleRace();
    const std::vector<uint8_t> good = writeRaceFile(race);
    const size_t textureCount = 12 + race.raceName.size() + race.description.size();
    const size_t firstTexture = textureCount + 4;
    const size_t partCount = firstTexture + 2 * 8 + 3 * (2 + 3);
    ASSERT_EQ(int32At(good, partCount), 3);
    const size_t firstVertexCount = partCount + 4;
    const size_t firstTriangleCount = firstVertexCount + 4 + 4 * 12;

    const std::pair<size_t, int32_t> cases[] = {
        {4, -1},                          // name length
        {4, 0x7FFFFFFF},                  //
        {textureCount, -1},               //
        {textureCount, 0x40000000},       // a billion textures
        {textureCount, 1000},             // within the bound, but the bytes are not there
        {firstTexture, 65536},            // width
        {partCount, -3},                  //
        {partCount, 0x7FFFFFFF},          //
        {firstVertexCount, -1},           //
        {firstVertexCount, 0x10000000},   //
        {firstVertexCount, 100000},       // bytes not there
        {firstTriangleCount, 0x15555556}, // 12 x count overflows 32 bits
        {firstTriangleCount, 500000},     //
    };
    for (const auto& [offset, value] : cases) {
        std::vector<uint8_t> bytes = good;
        putInt32At(bytes, offset, value);
        EXPECT_FALSE(parsesRace(bytes)) << "offset " << offset << " value " << value;
    }
}

TEST(RaceFile, TextureTableIsBoundedEvenWhenTheBytesAreThere) {
    RaceFileRecord race = sampleRace();
    race.textures.assign(size_t(MaxTextureCount), sampleImage(1, 1, 3, 0));
    EXPECT_TRUE(parsesRace(writeRaceFile(race)));
    race.textures.push_back(sampleImage(1, 1, 3, 0));
    EXPECT_FALSE(parsesRace(writeRaceFile(race)));
}

TEST(RaceHead, ReadsOnlyNameAndDescription) {
    std::vector<uint8_t> bytes = writeRaceFile(sampleRace());
    std::string name = "old", description = "old";
    // The head alone is enough: 4 + 4 + 4 + 4 + 13 bytes.
    ASSERT_TRUE(parseRaceHead(bytes.data(), 29, name, description, nullptr));
    EXPECT_EQ(name, "Vesk");
    EXPECT_EQ(description, "Swift raiders");

    std::string error;
    EXPECT_FALSE(parseRaceHead(bytes.data(), 28, name, description, &error));
    EXPECT_NE(error.find("description"), std::string::npos) << error;
    EXPECT_EQ(name, "Vesk") << "a failed read leaves the outputs alone";

    RaceFileRecord longName = sampleRace();
    longName.raceName.assign(100, 'x');
    bytes = writeRaceFile(longName);
    EXPECT_FALSE(parseRaceHead(bytes.data(), bytes.size(), name, description, nullptr));
}

TEST(EffectsFile, RoundTripsEveryField) {
    EffectsFileRecord effects = sampleEffects();
    std::vector<uint8_t> bytes = writeEffectsFile(effects);
    EXPECT_EQ(int32At(bytes, 0), -5);
    EXPECT_EQ(int32At(bytes, 4), 56);
    EXPECT_EQ(int32At(bytes, 8), 1); // first frame's width

    EffectsFileRecord back;
    std::string error;
    ASSERT_TRUE(parseEffectsFile(bytes.data(), bytes.size(), back, &error)) << error;
    ASSERT_EQ(back.frames.size(), 50u);
    EXPECT_EQ(back.frames[49].pixels, effects.frames[49].pixels);
    EXPECT_EQ(back.meshHeads, effects.meshHeads);
    EXPECT_EQ(back.smoke.height, 4);
    EXPECT_EQ(writeEffectsFile(back), bytes);
}

TEST(EffectsFile, MalformedFilesAreRejected) {
    std::vector<uint8_t> bytes = writeEffectsFile(sampleEffects());
    for (size_t size = 0; size < bytes.size(); ++size) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(size));
        ASSERT_FALSE(parsesEffects(cut)) << "size " << size;
    }

    using Change = std::function<void(EffectsFileRecord&)>;
    const std::pair<const char*, Change> cases[] = {
        {"55 images", [](EffectsFileRecord& e) { e.frames.pop_back(); }},
        {"57 images", [](EffectsFileRecord& e) { e.frames.push_back(e.frames[0]); }},
        {"sprite of one triangle", [](EffectsFileRecord& e) { e.sprite.triangles.resize(1); }},
        {"blast triangle beyond its vertices",
         [](EffectsFileRecord& e) { e.blast.triangles[1].b = 4; }},
        {"empty background",
         [](EffectsFileRecord& e) { e.backgrounds[5] = sampleImage(0, 0, 3, 0); }},
        {"huge smoke image", [](EffectsFileRecord& e) { e.smoke.width = 1 << 20; }},
    };
    for (const auto& [name, change] : cases) {
        EffectsFileRecord effects = sampleEffects();
        change(effects);
        std::string error;
        EXPECT_FALSE(parsesEffects(writeEffectsFile(effects), &error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }

    // An absurd image count is refused before anything is reserved for it.
    putInt32At(bytes, 4, 0x7FFFFFFF);
    EXPECT_FALSE(parsesEffects(bytes));
}

TEST(DataFileBytes, ReadsWholeFilesAndReportsFailures) {
    TempDirectory dir;
    std::vector<uint8_t> bytes = writeRaceFile(sampleRace());
    bytes.resize(200000, 0xAB); // larger than one read chunk
    ASSERT_TRUE(writeFileBytes(dir.path + "a.ast", bytes));
    std::vector<uint8_t> back = {9};
    ASSERT_TRUE(readFileBytes(dir.path + "a.ast", back));
    EXPECT_EQ(back, bytes);

    ASSERT_TRUE(writeFileBytes(dir.path + "empty", {}));
    EXPECT_TRUE(readFileBytes(dir.path + "empty", back));
    EXPECT_TRUE(back.empty());

    back = {9};
    EXPECT_FALSE(readFileBytes(dir.path + "missing.ast", back));
    EXPECT_FALSE(readFileBytes(dir.path, back)) << "a directory is not a file";
    EXPECT_EQ(back, std::vector<uint8_t>{9});
    EXPECT_FALSE(writeFileBytes(dir.path + "no/such/folder", bytes));
}
