#include "battle/fleet.h"
#include "data/effects.h"
#include "data/mesh.h"
#include "data/scene.h"
#include "gl/gl_state.h"
#include "platform/memory_settings.h"
#include "shell/display.h"
#include "shell/settings.h"
#include "tests/support/effects_files.h"
#include "tests/support/race_files.h"
#include "tests/support/recording_gl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {
const std::vector<std::string> FixedState = {"glClearColor",
                                             "glMatrixMode",
                                             "glViewport",
                                             "glLoadIdentity",
                                             "glFrustum",
                                             "glMatrixMode",
                                             "glLoadIdentity",
                                             "glTranslatef",
                                             "glRotatef",
                                             "glEnableClientState",
                                             "glEnableClientState",
                                             "glEnableClientState",
                                             "glClientActiveTextureARB",
                                             "glEnableClientState",
                                             "glClientActiveTextureARB",
                                             "glEnableClientState",
                                             "glDisable",
                                             "glEnable",
                                             "glFrontFace",
                                             "glEnable",
                                             "glLightModeli",
                                             "glLightfv",
                                             "glLightfv",
                                             "glLightfv",
                                             "glLightfv",
                                             "glEnable",
                                             "glShadeModel",
                                             "glBlendFunc",
                                             "glPixelStorei",
                                             "glActiveTextureARB",
                                             "glEnable",
                                             "glTexParameterf",
                                             "glTexParameterf"};

std::vector<std::string> withoutTextureUnits(std::vector<std::string> names) {
    std::erase(names, "glClientActiveTextureARB");
    std::erase(names, "glActiveTextureARB");
    // The second and third texture-coordinate enables belong to the units.
    names.erase(names.begin() + 11, names.begin() + 13);
    return names;
}

std::vector<float> lightValues(const GLCall& call) {
    const auto* values = static_cast<const float*>(call.pointers.at(0));
    return {values[0], values[1], values[2], values[3]};
}

struct SceneTest : ::testing::Test {
    TempDirectory directory;
    void SetUp() override {
        // The screen and the view at 800 x 600, whatever a test before left.
        installRecordingGL();
        placeScene(0, 0, 800, 600, SceneShape::FourByThree);
        ScreenWidth = 800;
        ScreenHeight = 600;
        installRecordingGL();
        installMemorySettings();
        MultitextureAvailable = 1;
        ProgramDirectory = directory.path;
        BuildFleets = buildFleetsFromSettings;
        writeEffects(directory.path, smallEffects());
    }
    void TearDown() override {
        MultitextureAvailable = 1;
        ScreenWidth = 800;
        ScreenHeight = 600;
        ProgramDirectory.clear();
        releaseFleet(Fleets[0]);
        releaseLoadedEffects();
        releaseFleet(Fleets[1]);
        ActiveSettings = nullptr;
    }
    // The calls setUpScene makes before it loads anything.
    static std::vector<std::string> stateCalls() {
        std::vector<std::string> names = callNames();
        names.resize(std::min(names.size(), FixedState.size()));
        return names;
    }
};
} // namespace

TEST_F(SceneTest, FixedStateCameraAndLight) {
    ScreenWidth = 1280; // not 4:3: the view stays 4:3 and is stretched
    ScreenHeight = 1024;
    ASSERT_TRUE(setUpScene(ScreenWidth, ScreenHeight, ProgramDirectory));
    EXPECT_EQ(stateCalls(), FixedState);
    const auto& calls = RecordingGL.calls;
    EXPECT_EQ(calls[0].args, (std::vector<double>{0, 0, 0, 0}));
    EXPECT_EQ(calls[1].args[0], GL_PROJECTION);
    EXPECT_EQ(calls[2].args, (std::vector<double>{0, 0, 1280, 1024}));
    EXPECT_EQ(calls[4].args,
              (std::vector<double>{-0.04444, 0.04444, -0.03333, 0.03333, 0.1, 1000.0}));
    EXPECT_EQ(calls[5].args[0], GL_MODELVIEW);
    EXPECT_EQ(calls[7].args, (std::vector<double>{0, 0, -16}));
    EXPECT_EQ(calls[8].args, (std::vector<double>{-15, 1, 0, 0}));
    EXPECT_EQ(calls[9].args[0], GL_VERTEX_ARRAY);
    EXPECT_EQ(calls[10].args[0], GL_NORMAL_ARRAY);
    EXPECT_EQ(calls[11].args[0], GL_TEXTURE_COORD_ARRAY);
    EXPECT_EQ(calls[12].args[0], GL_TEXTURE0_ARB);
    EXPECT_EQ(calls[14].args[0], GL_TEXTURE1_ARB);
    EXPECT_EQ(calls[15].args[0], GL_TEXTURE_COORD_ARRAY);
    EXPECT_EQ(calls[16].args[0], GL_NORMALIZE);
    EXPECT_EQ(calls[17].args[0], GL_DEPTH_TEST);
    EXPECT_EQ(calls[18].args[0], GL_CCW);
    EXPECT_EQ(calls[19].args[0], GL_CULL_FACE);
    EXPECT_EQ(calls[20].args, (std::vector<double>{GL_LIGHT_MODEL_TWO_SIDE, 0}));

    // Light 0, its position set while the camera transform is loaded.
    const GLenum parts[4] = {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_POSITION};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(calls[size_t(21 + i)].args, (std::vector<double>{GL_LIGHT0, double(parts[i])}));
    EXPECT_EQ(lightValues(calls[21]), (std::vector<float>{0.5f, 0.5f, 0.5f, 0}));
    EXPECT_EQ(lightValues(calls[22]), (std::vector<float>{1, 1, 1, 0}));
    EXPECT_EQ(lightValues(calls[23]), (std::vector<float>{0.5f, 0.5f, 0.5f, 0}));
    EXPECT_EQ(lightValues(calls[24]), (std::vector<float>{20, 20, -150, 1}));
    EXPECT_EQ(calls[25].args[0], GL_LIGHT0);
    EXPECT_EQ(findCall("glEnable"), 17); // lighting itself stays off
    for (const GLCall& call : callsNamed("glEnable"))
        EXPECT_NE(call.args[0], GL_LIGHTING);

    EXPECT_EQ(calls[26].args[0], GL_SMOOTH);
    EXPECT_EQ(calls[27].args, (std::vector<double>{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}));
    EXPECT_EQ(calls[28].args, (std::vector<double>{GL_UNPACK_ALIGNMENT, 1}));
    EXPECT_EQ(calls[29].args[0], GL_TEXTURE0_ARB);
    EXPECT_EQ(calls[30].args[0], GL_TEXTURE_2D);
    EXPECT_EQ(calls[31].args, (std::vector<double>{GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT}));
    EXPECT_EQ(calls[32].args, (std::vector<double>{GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT}));
}

TEST_F(SceneTest, WithoutMultitextureNoTextureUnitIsEverSelected) {
    MultitextureAvailable = 0;
    ASSERT_TRUE(setUpScene(ScreenWidth, ScreenHeight, ProgramDirectory));
    std::vector<std::string> names = callNames();
    names.resize(FixedState.size() - 5);
    EXPECT_EQ(names, withoutTextureUnits(FixedState));
    EXPECT_EQ(findCall("glActiveTextureARB"), -1);
    EXPECT_EQ(findCall("glClientActiveTextureARB"), -1);
    // The damage image is still uploaded, on the only unit.
    EXPECT_NE(Effects.damageTexture, 0u);
    auto binds = callsNamed("glBindTexture");
    EXPECT_EQ(binds[binds.size() - 2].args[1], Effects.damageTexture);
}

TEST_F(SceneTest, EffectsAreUploadedInFileOrderWithTheDamageOnUnitOne) {
    ASSERT_TRUE(setUpScene(ScreenWidth, ScreenHeight, ProgramDirectory));
    const EffectsFileRecord file = smallEffects();

    // One name call per group, frames and backgrounds first.
    auto generated = callsNamed("glGenTextures");
    ASSERT_EQ(generated.size(), 7u);
    EXPECT_EQ(generated[0].args[0], 50);
    EXPECT_EQ(generated[1].args[0], 6);
    for (int i = 2; i < 7; ++i)
        EXPECT_EQ(generated[size_t(i)].args[0], 1);
    EXPECT_EQ(Effects.explosionFrameCount, 50);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(Effects.explosionTextures[i], uint32_t(1 + i));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(BackgroundTextures[i], uint32_t(51 + i));
    EXPECT_EQ(Effects.shieldTexture, 57u);
    EXPECT_EQ(Effects.smokeTexture, 61u);

    auto images = callsNamed("glTexImage2D");
    ASSERT_EQ(images.size(), 61u);
    // Frames as BGRA, backgrounds as BGR from their own kept pixels.
    EXPECT_EQ(images[0].args,
              (std::vector<double>{GL_TEXTURE_2D, 0, 4, 2, 2, 0, GL_BGRA_EXT, GL_UNSIGNED_BYTE}));
    for (int i = 0; i < 6; ++i) {
        const GLCall& call = images[size_t(50 + i)];
        EXPECT_EQ(call.args, (std::vector<double>{GL_TEXTURE_2D, 0, 3, 3, 2, 0, GL_BGR_EXT,
                                                  GL_UNSIGNED_BYTE}));
        EXPECT_EQ(call.pointers[0], Effects.backgroundImages[i].pixels);
        EXPECT_EQ(std::memcmp(Effects.backgroundImages[i].pixels,
                              file.backgrounds[size_t(i)].pixels.data(), 18),
                  0);
    }
    const TextureImage* singles[5] = {&Effects.shieldImage, &Effects.blastImage,
                                      &Effects.spareImage, &Effects.damageImage,
                                      &Effects.smokeImage};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(images[size_t(56 + i)].pointers[0], singles[i]->pixels);
        EXPECT_EQ(singles[i]->pixels[0], i + 1);
        EXPECT_EQ(images[size_t(56 + i)].args[6], GL_BGRA_EXT);
    }

    // Unit 1 is selected between the damage image's name and its binding, and stays.
    auto units = callsNamed("glActiveTextureARB");
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[1].args[0], GL_TEXTURE1_ARB);
    const int unitOne = findCall("glActiveTextureARB", findCall("glActiveTextureARB") + 1);
    EXPECT_EQ(RecordingGL.calls[size_t(unitOne - 1)].name, "glGenTextures");
    EXPECT_EQ(RecordingGL.calls[size_t(unitOne + 1)].name, "glBindTexture");
    EXPECT_EQ(RecordingGL.calls[size_t(unitOne + 1)].args[1], Effects.damageTexture);
    // Only the smoke image follows, bound on the same unit.
    std::vector<double> boundAfter;
    for (size_t i = size_t(unitOne + 2); i < RecordingGL.calls.size(); ++i) {
        EXPECT_NE(RecordingGL.calls[i].name, "glActiveTextureARB");
        if (RecordingGL.calls[i].name == "glBindTexture")
            boundAfter.push_back(RecordingGL.calls[i].args[1]);
    }
    EXPECT_EQ(boundAfter, (std::vector<double>{double(Effects.smokeTexture)}));
}

// Background tiles clamp at their edges where the driver can (so that no join
// shows); a 1.1 driver keeps them repeating. Small images go up whole.
TEST_F(SceneTest, BackgroundsAreClampedWhereTheDriverCan) {
    for (const char* version : {"2.1 Mesa 22.3.6", "1.1.0"}) {
        installRecordingGL();
        RecordingGL.version = version;
        releaseLoadedEffects();
        ASSERT_TRUE(loadSceneAssets(ProgramDirectory));
        const bool clamps = version[0] == '2';
        EXPECT_EQ(EdgeClampAvailable, clamps ? 1 : 0) << version;
        const auto& calls = RecordingGL.calls;
        for (int i = 0; i < 6; ++i) {
            // From this background's bind to the next bind.
            int at = -1;
            for (size_t k = 0; k < calls.size(); ++k)
                if (calls[k].name == "glBindTexture" && calls[k].args[1] == BackgroundTextures[i])
                    at = int(k);
            ASSERT_GE(at, 0);
            std::vector<std::vector<double>> levels, parameters;
            for (size_t k = size_t(at) + 1; k < calls.size() && calls[k].name != "glBindTexture";
                 ++k) {
                if (calls[k].name == "glTexImage2D") levels.push_back(calls[k].args);
                if (calls[k].name == "glTexParameterf") parameters.push_back(calls[k].args);
            }
            ASSERT_EQ(levels.size(), 1u);
            EXPECT_EQ(levels[0], (std::vector<double>{GL_TEXTURE_2D, 0, 3, 3, 2, 0, GL_BGR_EXT,
                                                      GL_UNSIGNED_BYTE}));
            const double wrap = clamps ? GL_CLAMP_TO_EDGE : GL_REPEAT;
            EXPECT_NE(std::find(parameters.begin(), parameters.end(),
                                std::vector<double>{GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap}),
                      parameters.end());
            EXPECT_NE(std::find(parameters.begin(), parameters.end(),
                                std::vector<double>{GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap}),
                      parameters.end());
        }
    }
    EdgeClampAvailable = 0;
}

TEST_F(SceneTest, EffectMeshesKeepVerticesAndTrianglesOnly) {
    ASSERT_TRUE(loadSceneAssets(ProgramDirectory));
    const Mesh& sprite = Effects.spriteMesh;
    ASSERT_EQ(sprite.vertexCount, 4);
    ASSERT_EQ(sprite.triangleCount, 2);
    EXPECT_EQ(sprite.vertices[2].x, 1);
    EXPECT_EQ(sprite.vertices[2].y, 1);
    EXPECT_EQ(sprite.vertices[3].u, 0);
    EXPECT_EQ(sprite.vertices[3].v, 1);
    EXPECT_EQ(sprite.vertices[3].nx, 0);
    EXPECT_EQ(sprite.triangles[1].c, 3);
    EXPECT_EQ(sprite.image, nullptr);
    EXPECT_EQ(sprite.positions, nullptr);
    EXPECT_EQ(sprite.normals, nullptr);
    EXPECT_EQ(sprite.texCoords, nullptr);
    EXPECT_EQ(sprite.texture, 0u);
    EXPECT_EQ(Effects.blastMesh.vertices[1].x, 2);
    EXPECT_EQ(Effects.spareMesh.vertices[1].x, 3);
    EXPECT_EQ(Effects.spareMesh.triangleCount, 1);
}

TEST_F(SceneTest, BothFleetsAreBuiltInsideOneKeyOpeningBeforeTheEffectsFile) {
    writeRace(directory.path, "Alpha.ast", smallRace("Alpha", "First"));
    ASSERT_TRUE(writeAllianceList(1, {"Alpha (3)  \"First\""}));
    ASSERT_TRUE(writeAllianceList(2, {"Alpha (2)  \"First\""}));
    const int opens = MemorySettings.opens;
    std::remove((directory.path + "Explosion.as").c_str());

    EXPECT_FALSE(loadSceneAssets(ProgramDirectory));
    EXPECT_EQ(MemorySettings.opens, opens + 1);
    EXPECT_EQ(MemorySettings.closes, MemorySettings.opens);
    EXPECT_EQ(Fleets[0].shipCount, 3);
    EXPECT_EQ(Fleets[1].shipCount, 2);

    writeEffects(directory.path, smallEffects());
    EXPECT_TRUE(loadSceneAssets(ProgramDirectory));
    EXPECT_EQ(Fleets[0].shipCount, 3);
}

TEST_F(SceneTest, AFleetThatCannotBeBuiltStopsBeforeAnythingElse) {
    // The catalogue still lists the race, but its file is cut short after the head.
    writeRace(directory.path, "Alpha.ast", smallRace("Alpha", "First"));
    std::filesystem::resize_file(directory.path + "Alpha.ast", 40);
    writeRace(directory.path, "Beta.ast", smallRace("Beta", "Second"));
    ASSERT_TRUE(writeAllianceList(1, {"Alpha (3)  \"First\""}));
    ASSERT_TRUE(writeAllianceList(2, {"Beta (2)  \"Second\""}));
    RecordingGL.calls.clear();

    EXPECT_FALSE(loadSceneAssets(ProgramDirectory));
    EXPECT_EQ(Fleets[1].shipCount, 0); // alliance 2 was never built
    EXPECT_EQ(MemorySettings.closes, MemorySettings.opens);
    EXPECT_EQ(findCall("glGenTextures"), -1);
}

TEST_F(SceneTest, AMalformedEffectsFileLoadsNothing) {
    std::vector<uint8_t> bytes = writeEffectsFile(smallEffects());
    bytes.resize(bytes.size() - 1);
    ASSERT_TRUE(writeFileBytes(directory.path + "Explosion.as", bytes));
    EXPECT_FALSE(loadSceneAssets(ProgramDirectory));
    EXPECT_EQ(findCall("glGenTextures"), -1);

    EffectsFileRecord short_ = smallEffects();
    short_.frames.pop_back(); // 55 images: the frame table would not be full
    writeEffects(directory.path, short_);
    EXPECT_FALSE(loadSceneAssets(ProgramDirectory));
    EXPECT_EQ(findCall("glGenTextures"), -1);
}

namespace {
// The bytes of each backdrop upload, copied while they are still there.
std::vector<std::vector<uint8_t>> BackdropUploads;
void KGL_APIENTRY keepUploadedBytes(GLenum, GLint, GLint, GLsizei width, GLsizei height, GLint,
                                    GLenum format, GLenum, const GLvoid* pixels) {
    if (format == GL_BGR_EXT && pixels) {
        const auto* bytes = static_cast<const uint8_t*>(pixels);
        BackdropUploads.emplace_back(bytes, bytes + size_t(width) * size_t(height) * 3);
    }
}
} // namespace

// Dropped after their upload, the backdrop's pixels come back from the effects
// file for a new context and for a size that wants another level: the same
// bytes as kept ones would give, dropped again after; with the file gone the
// upload is refused instead of drawing from freed memory.
TEST_F(SceneTest, DroppedBackdropPixelsAreReadAgainWhenAnUploadNeedsThem) {
    ASSERT_TRUE(setUpScene(800, 600, ProgramDirectory));
    const EffectsFileRecord file = smallEffects();
    releaseBackdropPixels();
    for (const TextureImage& image : Effects.backgroundImages) {
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_EQ(image.width, 3); // the sizes stay for the choice of level
    }
    glTexImage2D = keepUploadedBytes;
    BackdropUploads.clear();
    ASSERT_TRUE(uploadBackdropAgain());
    ASSERT_EQ(BackdropUploads.size(), 6u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(BackdropUploads[size_t(i)], file.backgrounds[size_t(i)].pixels);
    EXPECT_EQ(Effects.backgroundImages[0].pixels, nullptr);

    // A one-pixel view wants the halved level: read again and halved.
    BackdropUploads.clear();
    placeScene(0, 0, 1, 1, SceneShape::WindowAspect);
    ASSERT_EQ(BackdropUploads.size(), 6u);
    std::vector<uint8_t> halved;
    halveImage(file.backgrounds[0].pixels.data(), 3, 2, 3, halved);
    EXPECT_EQ(BackdropUploads[0], halved);
    EXPECT_EQ(Effects.backgroundImages[5].pixels, nullptr);

    std::filesystem::remove(std::filesystem::path(ProgramDirectory) / "Explosion.as");
    BackdropUploads.clear();
    EXPECT_FALSE(uploadBackdropAgain());
    placeScene(0, 0, 800, 600, SceneShape::FourByThree);
    EXPECT_TRUE(BackdropUploads.empty());
}
