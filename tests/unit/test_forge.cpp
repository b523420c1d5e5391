#include "data/race_data.h"
#include "tools/forge/authoring.h"
#include "tools/forge/forge.h"
#include "tools/forge/geometry.h"
#include "tools/forge/noise.h"
#include "tools/forge/painters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed at the end.
struct TempDir {
    fs::path path;
    explicit TempDir(const std::string& name) {
        static int counter = 0;
        path = fs::temp_directory_path() /
               ("kestrion_forge_" + name + "_" + std::to_string(::getpid()) + "_" +
                std::to_string(counter++));
        fs::remove_all(path);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

std::map<std::string, std::vector<uint8_t>> readFolder(const fs::path& dir) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(readFileBytes(entry.path().string(), bytes));
        files[entry.path().filename().string()] = std::move(bytes);
    }
    return files;
}

// The data set is written once for the whole suite; generating it takes a moment.
struct DataSet : ::testing::Test {
    static inline std::map<std::string, std::vector<uint8_t>> files;
    static inline std::vector<RaceFileRecord> races;
    static inline EffectsFileRecord effects;

    static void SetUpTestSuite() {
        TempDir dir("set");
        std::string error;
        ASSERT_TRUE(writeDefaultDataSet(dir.path.string(), &error)) << error;
        files = readFolder(dir.path);
        races.clear();
        for (const auto& [name, bytes] : files) {
            if (name == "Explosion.as") {
                ASSERT_TRUE(parseEffectsFile(bytes.data(), bytes.size(), effects, &error)) << error;
            } else {
                RaceFileRecord race;
                ASSERT_TRUE(parseRaceFile(bytes.data(), bytes.size(), race, &error))
                    << name << ": " << error;
                races.push_back(std::move(race));
            }
        }
    }
};

float channelDistance(const float a[3], const float b[3]) {
    return std::fabs(a[0] - b[0]) + std::fabs(a[1] - b[1]) + std::fabs(a[2] - b[2]);
}

std::vector<const MeshRecord*> hullOf(const RaceFileRecord& race) {
    std::vector<const MeshRecord*> hull;
    for (const PartRecord& p : race.parts)
        hull.push_back(&p.mesh);
    return hull;
}

const uint8_t* rgbAt(const ImageRecord& image, int x, int y) {
    return &image.pixels[(static_cast<size_t>(y) * image.width + x) * 3];
}

int pixelDistance(const uint8_t* a, const uint8_t* b) {
    return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
}

// Mean colour step across the seam between two tiles, and the mean step
// between neighbouring columns (or rows) inside the first tile.
struct Seam {
    double across, inside;
};

Seam seamRightOf(const ImageRecord& left, const ImageRecord& right) {
    double across = 0, inside = 0;
    int n = left.height, w = left.width;
    for (int y = 0; y < n; ++y) {
        across += pixelDistance(rgbAt(left, w - 1, y), rgbAt(right, 0, y));
        for (int x = 0; x + 1 < w; ++x)
            inside += pixelDistance(rgbAt(left, x, y), rgbAt(left, x + 1, y));
    }
    return {across / n, inside / (static_cast<double>(n) * (w - 1))};
}

Seam seamBelow(const ImageRecord& top, const ImageRecord& bottom) {
    double across = 0, inside = 0;
    int w = top.width, h = top.height;
    for (int x = 0; x < w; ++x) {
        across += pixelDistance(rgbAt(top, x, h - 1), rgbAt(bottom, x, 0));
        for (int y = 0; y + 1 < h; ++y)
            inside += pixelDistance(rgbAt(top, x, y), rgbAt(top, x, y + 1));
    }
    return {across / w, inside / (static_cast<double>(w) * (h - 1))};
}

double meanFrameDifference(const ImageRecord& a, const ImageRecord& b) {
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        sum += std::abs(a.pixels[i] - b.pixels[i]);
    return sum / static_cast<double>(a.pixels.size());
}

uint8_t alphaAt(const ImageRecord& image, int x, int y) {
    return image.pixels[(static_cast<size_t>(y) * image.width + x) * 4 + 3];
}

bool borderClear(const ImageRecord& image) {
    for (int i = 0; i < image.width; ++i) {
        if (alphaAt(image, i, 0) || alphaAt(image, i, image.height - 1) || alphaAt(image, 0, i) ||
            alphaAt(image, image.width - 1, i))
            return false;
    }
    return true;
}

uint32_t read32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

uint16_t read16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
} // namespace

TEST_F(DataSet, HasFiveRacesAndTheEffectsFileAndEveryFileInspectsClean) {
    ASSERT_EQ(files.count("Explosion.as"), 1u);
    EXPECT_GE(races.size(), 5u);
    for (const auto& [name, bytes] : files) {
        if (name != "Explosion.as") {
            EXPECT_EQ(fs::path(name).extension(), ".ast") << name;
        }
    }
    for (const RaceFileRecord& race : races) {
        Findings f = checkRace(race);
        EXPECT_TRUE(f.faults.empty() && f.warnings.empty())
            << race.raceName << ": " << (f.faults.empty() ? f.warnings[0] : f.faults[0]);
    }
    Findings f = checkEffects(effects);
    EXPECT_TRUE(f.faults.empty() && f.warnings.empty())
        << (f.faults.empty() ? f.warnings[0] : f.faults[0]);
}

TEST_F(DataSet, RacesHaveDistinctNamesShortEntriesAndTellApartColours) {
    std::set<std::string> names;
    for (const RaceFileRecord& race : races) {
        EXPECT_FALSE(race.raceName.empty());
        EXPECT_FALSE(race.description.empty());
        EXPECT_TRUE(names.insert(race.raceName).second) << race.raceName;
        // Even a three-digit fleet size keeps the entry within its 50-byte field.
        EXPECT_LT(fleetEntryText(race.raceName, 100, race.description).size(), FleetEntryCapacity)
            << race.raceName;
        for (int k = 0; k < 3; ++k) {
            for (float c : {race.beamColourNear[k], race.beamColourFar[k], race.shieldColour[k]}) {
                EXPECT_GE(c, 0.0f);
                EXPECT_LE(c, 1.0f);
            }
        }
    }
    for (size_t i = 0; i < races.size(); ++i) {
        for (size_t j = i + 1; j < races.size(); ++j) {
            const RaceFileRecord &a = races[i], &b = races[j];
            float beams = channelDistance(a.beamColourNear, b.beamColourNear) +
                          channelDistance(a.beamColourFar, b.beamColourFar);
            EXPECT_GT(beams, 0.5f) << a.raceName << " and " << b.raceName;
            EXPECT_GT(channelDistance(a.shieldColour, b.shieldColour), 0.3f)
                << a.raceName << " and " << b.raceName;
        }
    }
}

TEST_F(DataSet, ShipsAreClosedOutwardWoundAndSizedForTheCamera) {
    for (const RaceFileRecord& race : races) {
        ASSERT_GE(race.parts.size(), 4u) << race.raceName;
        std::set<int32_t> texturesUsed;
        for (size_t i = 0; i < race.parts.size(); ++i) {
            const MeshRecord& mesh = race.parts[i].mesh;
            std::string fault;
            EXPECT_TRUE(isClosedSurface(mesh, &fault))
                << race.raceName << " part " << i << ": " << fault;
            EXPECT_GT(signedVolume(mesh), 0.0)
                << race.raceName << " part " << i << " is wound inward";
            texturesUsed.insert(race.parts[i].textureIndex);
        }
        EXPECT_EQ(texturesUsed.size(), race.textures.size()) << race.raceName;

        Bounds b = boundsOf(hullOf(race));
        float length = b.high.y - b.low.y;
        EXPECT_GE(length, 0.5f) << race.raceName;
        EXPECT_LE(length, 0.85f) << race.raceName;
        EXPECT_LE(b.high.x - b.low.x, 0.85f) << race.raceName;
        // Left and right halves mirror each other: the ship is centred on x = 0.
        EXPECT_NEAR(b.high.x, -b.low.x, 1e-4f) << race.raceName;
    }
}

TEST_F(DataSet, ShieldIsAClosedConvexBubbleAroundTheWholeHull) {
    for (const RaceFileRecord& race : races) {
        const MeshRecord& shield = race.shield;
        ASSERT_EQ(shield.positions.size(), static_cast<size_t>(HitPointCount)) << race.raceName;
        ASSERT_EQ(shield.triangles.size(), static_cast<size_t>(ShieldTriangleCount));
        std::string fault;
        EXPECT_TRUE(isClosedSurface(shield, &fault)) << race.raceName << ": " << fault;
        EXPECT_GT(signedVolume(shield), 0.0) << race.raceName;
        // Every face looks away from the middle, so the bubble is seen from outside.
        Vec3 centre{0, 0, 0};
        for (int i = 0; i < HitPointCount; ++i)
            centre = centre + positionOf(shield, i);
        centre = centre * (1.0f / HitPointCount);
        for (const MeshTriangle& t : shield.triangles)
            EXPECT_GT(dot(faceNormal(shield, t), positionOf(shield, t.a) - centre), 0.0f)
                << race.raceName;
        size_t outside = 0;
        for (const PartRecord& p : race.parts)
            for (const auto& v : p.mesh.positions)
                if (!insideConvexShell(shield, {v[0], v[1], v[2]})) ++outside;
        EXPECT_EQ(outside, 0u) << race.raceName;
    }
}

TEST_F(DataSet, ImagesArePowersOfTwoAndSpritesFadeToClearEdges) {
    auto powerOfTwo = [](const ImageRecord& image) {
        return isPowerOfTwo(image.width) && isPowerOfTwo(image.height);
    };
    for (const RaceFileRecord& race : races) {
        for (const ImageRecord& t : race.textures)
            EXPECT_TRUE(powerOfTwo(t)) << race.raceName;
        EXPECT_TRUE(powerOfTwo(race.projectile));
        EXPECT_TRUE(borderClear(race.projectile)) << race.raceName;
        int mid = race.projectile.width / 2;
        EXPECT_GT(alphaAt(race.projectile, mid, mid), 200) << race.raceName;
    }
    ASSERT_EQ(effects.frames.size(), 50u);
    for (const ImageRecord& frame : effects.frames) {
        EXPECT_TRUE(powerOfTwo(frame));
        EXPECT_TRUE(borderClear(frame));
    }
    for (const ImageRecord& b : effects.backgrounds)
        EXPECT_TRUE(powerOfTwo(b));
    for (const ImageRecord* image : {&effects.shield, &effects.blastImage, &effects.spareImage,
                                     &effects.damage, &effects.smoke})
        EXPECT_TRUE(powerOfTwo(*image));
    EXPECT_TRUE(borderClear(effects.smoke));
    EXPECT_TRUE(borderClear(effects.blastImage));
    EXPECT_GT(alphaAt(effects.smoke, effects.smoke.width / 2, effects.smoke.height / 2), 128);
}

TEST_F(DataSet, SpriteIsOneCentredQuadFacingTheCamera) {
    const MeshRecord& sprite = effects.sprite;
    ASSERT_EQ(sprite.triangles.size(), 2u);
    Bounds b = boundsOf({&sprite});
    EXPECT_EQ(b.low.z, 0.0f);
    EXPECT_EQ(b.high.z, 0.0f);
    EXPECT_NEAR(b.low.x + b.high.x, 0.0f, 1e-6f);
    EXPECT_NEAR(b.low.y + b.high.y, 0.0f, 1e-6f);
    EXPECT_NEAR(b.high.x - b.low.x, 1.0f, 0.25f);
    EXPECT_NEAR(b.high.y - b.low.y, 1.0f, 0.25f);
    float area = 0;
    for (const MeshTriangle& t : sprite.triangles) {
        Vec3 n = faceNormal(sprite, t);
        EXPECT_GT(n.z, 0.0f) << "counter-clockwise seen from +z";
        area += 0.5f * n.z;
    }
    EXPECT_NEAR(area, (b.high.x - b.low.x) * (b.high.y - b.low.y), 1e-5f); // no overlap, no gap
    for (const auto& uv : sprite.texCoords) {
        EXPECT_TRUE(uv[0] == 0.0f || uv[0] == 1.0f);
        EXPECT_TRUE(uv[1] == 0.0f || uv[1] == 1.0f);
    }
    for (const MeshTriangle& t : effects.blast.triangles)
        EXPECT_NE(faceNormal(effects.blast, t).z, 0.0f) << "the blast disc lies flat";
}

TEST_F(DataSet, ExplosionFlaresThenFadesAndItsMiddleFramesLoop) {
    auto meanAlpha = [](const ImageRecord& image) {
        double sum = 0;
        for (size_t i = 3; i < image.pixels.size(); i += 4)
            sum += image.pixels[i];
        return sum / (image.pixels.size() / 4);
    };
    auto meanRed = [](const ImageRecord& image) { // the hottest frames are white
        double sum = 0;
        for (size_t i = 0; i < image.pixels.size(); i += 4)
            sum += image.pixels[i] * image.pixels[i + 3];
        return sum / (image.pixels.size() / 4);
    };
    const auto& f = effects.frames;
    EXPECT_LT(meanAlpha(f[0]), meanAlpha(f[15])) << "the fireball grows";
    EXPECT_GT(meanAlpha(f[15]), 4 * meanAlpha(f[49])) << "and fades to embers";
    EXPECT_GT(meanRed(f[1]) / meanAlpha(f[1]), meanRed(f[40]) / meanAlpha(f[40]))
        << "the flash is hotter (whiter) than the embers";

    // Beam impacts play 10..30 and go on with 10: that jump is no worse than a normal step.
    double largestStep = 0;
    for (int k = 10; k < 30; ++k)
        largestStep = std::max(largestStep, meanFrameDifference(f[k], f[k + 1]));
    EXPECT_LE(meanFrameDifference(f[30], f[10]), 1.25 * largestStep);
    EXPECT_GT(meanFrameDifference(f[10], f[20]), 0.0) << "the loop moves";
}

TEST_F(DataSet, BackgroundTilesJoinIntoOnePanoramaWithoutSeamsOrRepeats) {
    const auto& bg = effects.backgrounds;
    // On screen: slots 3 4 5 on top, 0 1 2 below; the first row of each tile is its top.
    const Seam seams[] = {seamRightOf(bg[3], bg[4]), seamRightOf(bg[4], bg[5]),
                          seamRightOf(bg[0], bg[1]), seamRightOf(bg[1], bg[2]),
                          seamBelow(bg[3], bg[0]),   seamBelow(bg[4], bg[1]),
                          seamBelow(bg[5], bg[2])};
    for (const Seam& s : seams)
        EXPECT_LT(s.across, 1.5 * s.inside + 1.0);
    // The same tiles put together the wrong way (rows swapped, or a tile upside
    // down) do show a seam, so the check above means something.
    EXPECT_GT(seamBelow(bg[0], bg[3]).across, 2.0 * seamBelow(bg[3], bg[0]).across);

    // No two tiles are the same picture.
    for (int i = 0; i < 6; ++i)
        for (int j = i + 1; j < 6; ++j)
            EXPECT_GT(meanFrameDifference(bg[static_cast<size_t>(i)], bg[static_cast<size_t>(j)]),
                      2.0)
                << i << " and " << j;
}

TEST_F(DataSet, GeneratingAgainGivesTheSameBytes) {
    TempDir again("again");
    std::string error;
    ASSERT_TRUE(writeDefaultDataSet(again.path.string(), &error)) << error;
    auto second = readFolder(again.path);
    ASSERT_EQ(second.size(), files.size());
    for (const auto& [name, bytes] : files)
        EXPECT_TRUE(second[name] == bytes) << name;
}

TEST_F(DataSet, InspectSaysValidAndNamesTheFaultOfABrokenFile) {
    TempDir dir("inspect");
    fs::create_directories(dir.path);
    std::string good = (dir.path / "Good.ast").string();
    ASSERT_TRUE(writeFileBytes(good, files.at("Vessari.ast")));
    std::string summary, error;
    EXPECT_TRUE(inspectFile(good, summary, &error)) << error;
    EXPECT_NE(summary.find("valid"), std::string::npos);
    EXPECT_NE(summary.find("Vessari"), std::string::npos);

    std::vector<uint8_t> cut(files.at("Vessari.ast").begin(),
                             files.at("Vessari.ast").begin() + 5000);
    std::string broken = (dir.path / "Broken.ast").string();
    ASSERT_TRUE(writeFileBytes(broken, cut));
    EXPECT_FALSE(inspectFile(broken, summary, &error));
    EXPECT_NE(summary.find("invalid"), std::string::npos);
    EXPECT_FALSE(error.empty());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(runForge({"inspect", good, broken}), 1);
    EXPECT_EQ(runForge({"inspect", good}), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Broken.ast"), std::string::npos);
    EXPECT_FALSE(inspectFile((dir.path / "missing.ast").string(), summary, &error));
}

TEST(ForgeChecks, FindNonPowerOfTwoImagesAndHullOutsideTheShield) {
    const RaceFileRecord original = buildDefaultRaces().front().record;
    RaceFileRecord race = original;
    ASSERT_TRUE(checkRace(race).faults.empty());
    race.textures[0].width = 96;
    race.textures[0].pixels.resize(96 * 256 * 3);
    EXPECT_FALSE(checkRace(race).faults.empty());

    race = original;
    race.parts[0].mesh.positions[0][1] = -5.0f; // far beyond the bubble
    Findings f = checkRace(race);
    ASSERT_FALSE(f.warnings.empty());
    bool named = false;
    for (const std::string& w : f.warnings)
        named = named || w.find("outside the shield") != std::string::npos;
    EXPECT_TRUE(named);

    race = original;
    race.description = "A description much too long for any fleet entry";
    EXPECT_FALSE(checkRace(race).warnings.empty());
}

TEST(ForgeChecks, FindNonPowerOfTwoBackgroundsInTheEffectsFile) {
    EffectsFileRecord effects;
    effects.frames.resize(50);
    for (ImageRecord& frame : effects.frames)
        frame = toBgra(paintSmoke(8));
    for (ImageRecord& b : effects.backgrounds)
        b = toBgr(makeCanvas(4, 4, {0, 0, 0}));
    for (ImageRecord* image : {&effects.shield, &effects.blastImage, &effects.spareImage,
                               &effects.damage, &effects.smoke})
        *image = toBgra(paintSmoke(8));
    EXPECT_TRUE(checkEffects(effects).faults.empty());
    effects.backgrounds[4] = toBgr(makeCanvas(300, 256, {0, 0, 0}));
    Findings f = checkEffects(effects);
    ASSERT_EQ(f.faults.size(), 1u);
    EXPECT_NE(f.faults[0].find("background 4 is 300x256"), std::string::npos);
}

TEST(ForgeCommands, UsageAndErrorsGiveTheirExitStatus) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(runForge({"--help"}), 0);
    EXPECT_EQ(runForge({"--version"}), 0);
    EXPECT_EQ(runForge({}), 2);
    EXPECT_EQ(runForge({"bake"}), 2);
    EXPECT_EQ(runForge({"defaults"}), 2);
    EXPECT_EQ(runForge({"inspect"}), 2);
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("defaults OUTDIR"), std::string::npos);
    EXPECT_NE(out.find("kestrion-forge " KESTRION_VERSION "\n"), std::string::npos);
    EXPECT_NE(err.find("unknown command \"bake\""), std::string::npos);
}

TEST(ForgeResources, BitmapAndIconAreWellFormed) {
    std::vector<NamedRace> races = buildDefaultRaces();
    std::vector<uint8_t> bmp = buildConfigBitmap(races);
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(read32(bmp, 2), bmp.size());
    int32_t width = static_cast<int32_t>(read32(bmp, 18)),
            height = static_cast<int32_t>(read32(bmp, 22));
    EXPECT_EQ(width, 107); // the 71 x 49 dialog-unit control at 96 dpi
    EXPECT_EQ(height, 80);
    EXPECT_EQ(read16(bmp, 28), 24);
    EXPECT_EQ(bmp.size(), 54u + static_cast<size_t>((width * 3 + 3) / 4 * 4) * height);

    std::vector<uint8_t> ico = buildIcon(races);
    ASSERT_GE(ico.size(), 6u);
    EXPECT_EQ(read16(ico, 0), 0);
    EXPECT_EQ(read16(ico, 2), 1);
    int count = read16(ico, 4);
    ASSERT_EQ(count, 3);
    std::set<int> sizes;
    for (int i = 0; i < count; ++i) {
        size_t entry = 6 + 16 * static_cast<size_t>(i);
        int side = ico[entry];
        sizes.insert(side);
        EXPECT_EQ(ico[entry + 1], side);
        EXPECT_EQ(read16(ico, entry + 6), 32);
        uint32_t bytes = read32(ico, entry + 8), offset = read32(ico, entry + 12);
        ASSERT_LE(static_cast<size_t>(offset) + bytes, ico.size());
        EXPECT_EQ(read32(ico, offset), 40u);                                 // a BMP info header
        EXPECT_EQ(read32(ico, offset + 8), static_cast<uint32_t>(2 * side)); // colour + mask
        size_t mask = static_cast<size_t>((side + 31) / 32 * 4) * side;
        EXPECT_EQ(bytes, 40 + static_cast<size_t>(side) * side * 4 + mask);
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 32, 48}));

    // The corners of the round icon are transparent, in the alpha and in the mask.
    size_t first = read32(ico, 6 + 12);
    int side = ico[6];
    EXPECT_EQ(ico[first + 40 + 3], 0) << "bottom-left pixel alpha";
    size_t mask = first + 40 + static_cast<size_t>(side) * side * 4;
    EXPECT_TRUE(ico[mask] & 0x80) << "bottom-left pixel masked";
    size_t middle = first + 40 + (static_cast<size_t>(side / 2) * side + side / 2) * 4;
    EXPECT_EQ(ico[middle + 3], 255) << "the middle is opaque";
}

TEST(ForgeResources, CommandWritesEveryFileIntoANewFolder) {
    TempDir dir("resources");
    fs::path nested = dir.path / "a" / "b";
    EXPECT_EQ(runForge({"resources", nested.string()}), 0);
    EXPECT_TRUE(fs::exists(nested / "config.bmp"));
    EXPECT_TRUE(fs::exists(nested / "Kestrion.ico"));

    // Desktops pick an icon by its folder's size: each PNG must be that size,
    // round (transparent corners) and opaque in the middle.
    for (const int size : IconPngSizes) {
        const std::string side = std::to_string(size);
        const fs::path png = nested / "hicolor" / (side + "x" + side) / "apps" / "kestrion.png";
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(readFileBytes(png.string(), bytes)) << png;
        Picture picture;
        std::string error;
        ASSERT_TRUE(decodePicture(bytes, 4, picture, error)) << png << ": " << error;
        EXPECT_EQ(picture.width, size) << png;
        EXPECT_EQ(picture.height, size) << png;
        const auto alpha = [&](int x, int y) {
            return picture.pixels[(size_t(y) * size_t(size) + size_t(x)) * 4 + 3];
        };
        EXPECT_EQ(alpha(0, 0), 0) << png;
        EXPECT_EQ(alpha(size - 1, size - 1), 0) << png;
        EXPECT_EQ(alpha(size / 2, size / 2), 255) << png;
    }
}

TEST(ForgeNumbers, SineSeriesIsExactAndPeriodicNoiseRepeats) {
    for (int k = -40; k <= 40; ++k) {
        double turns = k / 7.3;
        EXPECT_NEAR(turnSin(turns), std::sin(turns * 2 * 3.14159265358979323846), 1e-12);
        EXPECT_NEAR(turnCos(turns), std::cos(turns * 2 * 3.14159265358979323846), 1e-12);
    }
    // Noise with a period repeats exactly, so textures built on it wrap without a join.
    for (int i = 0; i < 20; ++i) {
        float x = 0.37f * i, y = 1.3f + 0.11f * i;
        EXPECT_NEAR(fbm2(x, y, 5u, 4, 4), fbm2(x + 4.0f, y, 5u, 4, 4), 1e-5f);
        EXPECT_NEAR(fbm2(x, y, 5u, 4, 4), fbm2(x, y + 4.0f, 5u, 4, 4), 1e-5f);
        EXPECT_NEAR(fbm3(x, y, 0.5f, 5u, 3, 3), fbm3(x, y, 3.5f, 5u, 3, 3), 1e-5f);
    }
}

TEST(ForgeGeometry, ShieldOfAFlatOrALongHullStillEnclosesIt) {
    for (Vec3 half : {Vec3{0.4f, 0.3f, 0.001f}, Vec3{0.02f, 0.45f, 0.02f}}) {
        MeshRecord hull;
        addBox(hull, Frame{}, {0.1f, -0.05f, 0.02f}, half, Mapping{});
        MeshRecord shield = buildShieldMesh({&hull}, 1.08f);
        ASSERT_EQ(shield.positions.size(), 26u);
        ASSERT_EQ(shield.triangles.size(), 48u);
        for (const auto& p : hull.positions)
            EXPECT_TRUE(insideConvexShell(shield, {p[0], p[1], p[2]}));
        Bounds b = boundsOf({&shield});
        EXPECT_GT(b.high.z - b.low.z, 0.3f * (b.high.x - b.low.x)) << "a bubble, not a plate";
        EXPECT_LT(b.high.y - b.low.y, 4.0f * 2.0f * half.y + 0.2f) << "and not far too big";
    }
}

TEST(ForgeGeometry, EngineNozzleTakesTheGlowAndTheSidesTheMetal) {
    // The engine texture: ribbed metal in its upper half, the glowing nozzle in its lower half.
    Mapping engine;
    engine.band = true;
    engine.vStart = 0.0f;
    engine.vEnd = 0.5f;
    engine.capU = 0.5f;
    engine.capV = 0.75f;
    engine.capRadius = 0.23f;
    MeshRecord mesh;
    addLoft(mesh, Frame{}, regularProfile(10), {{0, 0, 0, 0, 0}, {0.3f, 0, 0, 0.05f, 0.05f}},
            engine, true);
    for (const MeshTriangle& t : mesh.triangles) {
        auto atRear = [&](int v) { return std::fabs(positionOf(mesh, v).y - 0.3f) < 1e-5f; };
        bool nozzle = faceNormal(mesh, t).y > 0.0f && atRear(t.a) && atRear(t.b) && atRear(t.c);
        for (int v : {t.a, t.b, t.c}) {
            float tv = mesh.texCoords[static_cast<size_t>(v)][1];
            if (nozzle) {
                EXPECT_GE(tv, 0.5f);
            } else {
                EXPECT_LE(tv, 0.5f);
            }
        }
    }
}

TEST(ForgeGeometry, ClosedSurfaceCheckCatchesHolesAndFlippedFaces) {
    MeshRecord box;
    addBox(box, Frame{}, {0, 0, 0}, {1, 2, 3}, Mapping{});
    std::string fault;
    EXPECT_TRUE(isClosedSurface(box, &fault)) << fault;
    EXPECT_NEAR(signedVolume(box), 2 * 4 * 6, 1e-4);
    EXPECT_NEAR(signedVolume(mirroredX(box)), 2 * 4 * 6, 1e-4)
        << "mirroring keeps the winding outward";

    MeshRecord holed = box;
    holed.triangles.pop_back();
    EXPECT_FALSE(isClosedSurface(holed, &fault));
    MeshRecord flipped = box;
    std::swap(flipped.triangles[0].b, flipped.triangles[0].c);
    EXPECT_FALSE(isClosedSurface(flipped, &fault));

    // A loft closing to a point at both ends, turned about every axis, stays closed and outward.
    MeshRecord spindle;
    Frame f = yawed(pitched(rolled(Frame{}, 0.1), 0.2), 0.3);
    addLoft(spindle, f, regularProfile(7),
            {{0, 0, 0, 0, 0}, {1, 0, 0, 0.3f, 0.2f}, {2, 0, 0, 0, 0}}, Mapping{}, true);
    EXPECT_TRUE(isClosedSurface(spindle, &fault)) << fault;
    EXPECT_GT(signedVolume(spindle), 0.0);
}
