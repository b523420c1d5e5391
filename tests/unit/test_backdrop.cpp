#include "data/mesh.h"
#include "data/scene.h"
#include "gl/gl_state.h"
#include "render/backdrop.h"
#include "tests/support/recording_gl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {
std::vector<BackdropTile> layOut(int w, int h, SceneShape shape = SceneShape::WindowAspect,
                                 const TextureImage* inset = nullptr) {
    BackdropTile tiles[6];
    const int count = layOutBackdrop(w, h, shape, inset, tiles);
    return std::vector<BackdropTile>(tiles, tiles + count);
}

// Screen pixels per panorama unit across and down (a tile is 4/3 by 3/2 units).
std::pair<double, double> pixelsPerUnit(const BackdropTile& tile) {
    return {(tile.xb - tile.xa) / (tile.sb - tile.sa) / (4.0 / 3.0),
            (tile.yb - tile.ya) / (tile.tb - tile.ta) / 1.5};
}
} // namespace

TEST(Backdrop, FourByThreeWindowsAndTheFixedViewShowTheWholePanoramaAsDescribed) {
    // Within a pixel of 4:3 either way, and any shape with the fixed 4:3 view.
    const std::vector<std::pair<int, int>> exact = {{640, 480},  {800, 600}, {1024, 767},
                                                    {1024, 769}, {801, 600}, {1600, 1200}};
    for (auto [w, h] : exact)
        EXPECT_TRUE(isFourByThree(w, h)) << w << "x" << h;
    EXPECT_FALSE(isFourByThree(1024, 766));
    EXPECT_FALSE(isFourByThree(1280, 1024));
    for (auto [w, h] : std::vector<std::pair<int, int>>{{1024, 767}, {1280, 1024}}) {
        const auto tiles =
            layOut(w, h, isFourByThree(w, h) ? SceneShape::WindowAspect : SceneShape::FourByThree);
        ASSERT_EQ(tiles.size(), 6u);
        const int slots[6] = {3, 4, 5, 0, 1, 2};
        for (int i = 0; i < 6; ++i) {
            const BackdropTile& t = tiles[size_t(i)];
            EXPECT_EQ(t.slot, slots[i]);
            EXPECT_EQ(std::vector<float>({t.sa, t.sb, t.ta, t.tb}),
                      std::vector<float>({0, 1, 0, 1}));
            EXPECT_EQ(t.ya, i < 3 ? 0.0f : float(h / 2));
            EXPECT_EQ(t.xb, i % 3 == 2 ? float(w) : float(w * ((i % 3) + 1) / 3.0));
        }
    }
}

TEST(Backdrop, AnyOtherWindowIsCoveredByThePanoramaAtItsOwnShape) {
    const std::vector<std::pair<int, int>> sizes = {{1920, 1080}, {2560, 1080}, {3840, 2160},
                                                    {1280, 1024}, {600, 900},   {152, 112},
                                                    {641, 400},   {5000, 100}};
    for (auto [w, h] : sizes) {
        const auto tiles = layOut(w, h);
        ASSERT_FALSE(tiles.empty());
        // Round: as many pixels a unit across as down, the same in every tile.
        const auto scale = pixelsPerUnit(tiles[0]);
        for (const BackdropTile& t : tiles) {
            const auto own = pixelsPerUnit(t);
            EXPECT_NEAR(own.first / own.second, 1.0, 1e-3) << w << "x" << h;
            EXPECT_NEAR(own.first / scale.first, 1.0, 1e-3) << w << "x" << h;
            EXPECT_GE(t.sa, 0.0f);
            EXPECT_LE(t.sb, 1.0f);
            EXPECT_GE(t.ta, 0.0f);
            EXPECT_LE(t.tb, 1.0f);
        }
        // Covered: every pixel centre of a coarse grid lies in exactly one tile.
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const double px = (x + 0.5) * w / 16, py = (y + 0.5) * h / 16;
                int inside = 0;
                for (const BackdropTile& t : tiles)
                    inside += px >= t.xa && px < t.xb && py >= t.ya && py < t.yb;
                EXPECT_EQ(inside, 1) << w << "x" << h << " at " << px << ", " << py;
            }
        // The window's own edges, and tiles meeting without a gap.
        float right = 0, bottom = 0;
        for (const BackdropTile& t : tiles)
            right = std::max(right, t.xb), bottom = std::max(bottom, t.yb);
        EXPECT_EQ(right, float(w));
        EXPECT_EQ(bottom, float(h));
    }
    // A wide window keeps the planet's corner: it loses more above than below.
    const auto wide = layOut(2560, 1080);
    EXPECT_GT(wide.front().ta, 1.0f - wide.back().tb);
    // An upright one is cut evenly at the sides.
    const auto upright = layOut(600, 900);
    EXPECT_FLOAT_EQ(upright.front().sa, 1.0f - upright.back().sb);
}

TEST(Backdrop, WithoutEdgeClampTheCoordinatesKeepHalfATexelOfTheLevelSampled) {
    TextureImage images[6];
    for (TextureImage& image : images)
        image.width = 1024, image.height = 1024;
    // 800 x 600: 1024 texels over 267 pixels draws the level of 256 texels;
    // half a texel of it is 2 texels of level 0.
    const auto small = layOut(800, 600, SceneShape::WindowAspect, images);
    EXPECT_FLOAT_EQ(small[0].sa, 2.0f / 1024);
    EXPECT_FLOAT_EQ(small[0].tb, 1.0f - 2.0f / 1024);
    // Magnified (3840 x 2160): half a texel of level 0 where an image edge shows.
    const auto large = layOut(3840, 2160, SceneShape::WindowAspect, images);
    EXPECT_FLOAT_EQ(large[0].sa, 0.5f / 1024);
    EXPECT_GT(large[0].ta, 0.1f); // cut away above: inset in proportion only
    for (const BackdropTile& t : large) {
        EXPECT_GE(t.sa, 0.5f / 1024 - 1e-6f);
        EXPECT_LE(t.tb, 1.0f - 0.5f / 1024 + 1e-6f);
    }
}

TEST(Backdrop, EdgeClampIsOfferedFromOpenGL12AndOnEveryOpenGLES) {
    EXPECT_FALSE(offersEdgeClamp(nullptr));
    EXPECT_FALSE(offersEdgeClamp("1.1.0"));
    EXPECT_FALSE(offersEdgeClamp("1.1 Microsoft Corporation")); // GDI Generic
    EXPECT_FALSE(offersEdgeClamp("Kestrion null GL"));
    EXPECT_FALSE(offersEdgeClamp("1."));
    EXPECT_TRUE(offersEdgeClamp("1.2"));
    EXPECT_TRUE(offersEdgeClamp("1.10"));
    EXPECT_TRUE(offersEdgeClamp("4.5 (Compatibility Profile) Mesa 22.3.6"));
    EXPECT_TRUE(
        offersEdgeClamp("1.1 Kestrion fixed-function layer over OpenGL ES 3.0 (WebGL 2.0)"));
}

TEST(Backdrop, EachScreenGetsTheLevelItDrawsNoSmallerThanItsTexels) {
    TextureImage image;
    image.width = image.height = 1024;
    // 1024 texels over 267 x 300 pixels: halved twice, 256 over 267.
    EXPECT_EQ(backdropLevelFor(800, 600, SceneShape::FourByThree, image), 2);
    EXPECT_EQ(backdropLevelFor(640, 480, SceneShape::WindowAspect, image), 3);
    EXPECT_EQ(backdropLevelFor(1280, 1024, SceneShape::FourByThree, image), 2);
    EXPECT_EQ(backdropLevelFor(1920, 1080, SceneShape::WindowAspect, image), 1);
    EXPECT_EQ(backdropLevelFor(2560, 1440, SceneShape::WindowAspect, image), 1);
    EXPECT_EQ(backdropLevelFor(3840, 2160, SceneShape::WindowAspect, image), 0);
    EXPECT_EQ(backdropLevelFor(152, 112, SceneShape::WindowAspect, image), 5); // the preview
    image.width = image.height = 1;
    EXPECT_EQ(backdropLevelFor(1, 1, SceneShape::WindowAspect, image), 0);
}

TEST(Backdrop, MipmapLevelsAreBoxFilteredHalves) {
    // 3 x 2 pixels of one byte: the odd column is repeated.
    const uint8_t pixels[6] = {0, 10, 100, 20, 30, 201};
    std::vector<uint8_t> out;
    halveImage(pixels, 3, 2, 1, out);
    EXPECT_EQ(out, (std::vector<uint8_t>{15}));
    // 2 x 1 of two bytes a pixel: rows are repeated, channels kept apart.
    const uint8_t pairs[4] = {0, 255, 3, 0};
    halveImage(pairs, 2, 1, 2, out);
    EXPECT_EQ(out, (std::vector<uint8_t>{2, 128}));
}

TEST(Backdrop, BeamsKeepTheirWeightWithTheViewsHeight) {
    installRecordingGL();
    placeScene(0, 0, 800, 600, SceneShape::FourByThree);
    placeScene(0, 0, 3840, 2160, SceneShape::WindowAspect);
    placeScene(0, 0, 152, 112, SceneShape::WindowAspect);
    const auto widths = callsNamed("glLineWidth");
    ASSERT_EQ(widths.size(), 3u);
    EXPECT_EQ(widths[0].args[0], 1.0);
    EXPECT_FLOAT_EQ(float(widths[1].args[0]), 3.6f);
    EXPECT_EQ(widths[2].args[0], 1.0);
    EXPECT_EQ(ViewShape, SceneShape::WindowAspect);
    placeScene(0, 0, 800, 600, SceneShape::FourByThree);
}
