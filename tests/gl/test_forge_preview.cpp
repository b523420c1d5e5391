// `kestrion-forge preview` on Mesa's surfaceless EGL: an imported glTF ship
// drawn from three angles, each third showing the hull's and the beam's colours.
#include "tests/unit/data_samples.h"
#include "tools/forge/authoring.h"
#include "tools/forge/forge.h"
#include "tools/forge/seeds.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {
namespace fs = std::filesystem;

int forge(const std::vector<std::string>& args, std::string* errors = nullptr) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int status = runForge(args);
    testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    if (errors) *errors = err;
    return status;
}

TEST(ForgePreview, EachThirdShowsTheHullAndTheBeam) {
    TempDirectory dir;
    for (const SeedFile& file : gltfShip({GltfShip::Layout::Binary}))
        ASSERT_TRUE(writeFileBytes(dir.path + file.name, file.bytes));
    const std::string race = dir.path + "Ship.ast", png = dir.path + "ship.png";
    // A green beam, unlike the orange hull and the blue bubble.
    ASSERT_EQ(forge({"import", dir.path + "ship.glb", "-o", race, "--name", "Ship", "--description",
                     "Preview", "--beam", "0.1,1,0.1"}),
              0);
    std::string errors;
    ASSERT_EQ(forge({"preview", race, png, "--size", "600x200"}, &errors), 0) << errors;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(readFileBytes(png, bytes));
    Picture picture;
    std::string why;
    ASSERT_TRUE(decodePicture(bytes, 3, picture, why)) << why;
    ASSERT_EQ(picture.width, 600);
    ASSERT_EQ(picture.height, 200);
    if (const char* keep = std::getenv("KESTRION_PREVIEW_PICTURE")) fs::copy_file(png, keep);
    for (int third = 0; third < 3; ++third) {
        int hull = 0, beam = 0;
        for (int y = 0; y < picture.height; ++y)
            for (int x = third * 200; x < third * 200 + 200; ++x) {
                const uint8_t* p = &picture.pixels[size_t(y * picture.width + x) * 3];
                int r = p[0], g = p[1], b = p[2];
                // The orange hull, however lit and seen through the blue bubble,
                // stays redder than blue; nothing else in the picture is.
                if (r > 80 && r > b + 40) ++hull;
                if (g > 150 && g > r + 60 && g > b + 60) ++beam;
            }
        EXPECT_GT(hull, 400) << "third " << third;
        EXPECT_GT(beam, 20) << "third " << third;
    }
}

TEST(ForgePreview, ABrokenRaceMakesNoPicture) {
    TempDirectory dir;
    const std::string race = dir.path + "Broken.ast", png = dir.path + "broken.png";
    ASSERT_TRUE(writeFileBytes(race, {1, 0, 0, 0, 9, 9}));
    std::string errors;
    EXPECT_NE(forge({"preview", race, png}, &errors), 0);
    EXPECT_FALSE(fs::exists(png));
    EXPECT_NE(errors.find("Broken.ast: "), std::string::npos) << errors;
    EXPECT_EQ(forge({"preview", race}), 2);
}
} // namespace
