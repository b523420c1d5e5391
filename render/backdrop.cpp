#include "render/backdrop.h"

#include <algorithm>
#include <cmath>

namespace {
// The panorama in units: 4 x 3, each tile a third wide and half high.
constexpr double PanoramaWidth = 4.0, PanoramaHeight = 3.0;
constexpr double TileWidth = PanoramaWidth / 3, TileHeight = PanoramaHeight / 2;
// Of the height a wide window cannot show, the share cut at the top.
constexpr double CutAbove = 0.75;

constexpr int SlotOrder[6] = {3, 4, 5, 0, 1, 2};

// As a texture coordinate, half a texel of the level uploaded for a screen
// where each pixel covers `texelsPerPixel` texels of the whole image of `side`
// texels (backdropLevelFor), as far as linear filtering reaches.
double halfTexel(int32_t side, double texelsPerPixel) {
    int level = 0;
    if (texelsPerPixel > 1.0) level = int(std::floor(std::log2(texelsPerPixel))) + 1;
    double texel = std::ldexp(1.0, level) / side;
    return std::min(0.5 * texel, 0.5);
}

// Keeps s (or t) away from the image's edges by `inset` on both sides.
float insetCoordinate(double value, double inset) {
    return float(inset + value * (1.0 - 2.0 * inset));
}
} // namespace

int layOutBackdrop(int32_t width, int32_t height, SceneShape shape, const TextureImage* insetFor,
                   BackdropTile out[6]) {
    width = width > 0 ? width : 1;
    height = height > 0 ? height : 1;
    int count = 0;
    if (shape == SceneShape::FourByThree || isFourByThree(width, height)) {
        const float x1 = static_cast<float>(width * 0.3333333333333333);
        const float x2 = static_cast<float>(width * 0.6666666666666666);
        const float ym = static_cast<float>(height / 2);
        const float w = static_cast<float>(width), h = static_cast<float>(height);
        const float xs[4] = {0, x1, x2, w}, ys[3] = {0, ym, h};
        for (int i = 0; i < 6; ++i) {
            const int column = i % 3, row = i / 3;
            out[count++] = {
                SlotOrder[i], xs[column], xs[column + 1], ys[row], ys[row + 1], 0, 1, 0, 1};
        }
    } else {
        // Pixels a unit, as large as covers the window, and the units cut away.
        const double scale = std::max(width / PanoramaWidth, height / PanoramaHeight);
        const double left = (PanoramaWidth - width / scale) / 2;
        const double top = (PanoramaHeight - height / scale) * CutAbove;
        for (int i = 0; i < 6; ++i) {
            const int column = i % 3, row = i / 3;
            const double x0 = column * TileWidth, y0 = row * TileHeight;
            const double xa = std::max(x0, left),
                         xb = std::min(x0 + TileWidth, left + width / scale);
            const double ya = std::max(y0, top),
                         yb = std::min(y0 + TileHeight, top + height / scale);
            if (xb <= xa || yb <= ya) continue;
            // The window's own edges where the tile reaches them, so that rounding
            // leaves no column or row uncovered.
            const bool reachesRight = x0 + TileWidth >= left + width / scale;
            const bool reachesBottom = y0 + TileHeight >= top + height / scale;
            out[count++] = {SlotOrder[i],
                            float(xa <= left ? 0 : (xa - left) * scale),
                            float(reachesRight ? width : (xb - left) * scale),
                            float(ya <= top ? 0 : (ya - top) * scale),
                            float(reachesBottom ? height : (yb - top) * scale),
                            float((xa - x0) / TileWidth),
                            float((xb - x0) / TileWidth),
                            float((ya - y0) / TileHeight),
                            float((yb - y0) / TileHeight)};
        }
    }
    if (insetFor) {
        for (int i = 0; i < count; ++i) {
            BackdropTile& tile = out[i];
            const TextureImage& image = insetFor[tile.slot];
            if (image.width < 1 || image.height < 1) continue;
            // Pixels the whole image would cover, across and down.
            const double across = (tile.xb - tile.xa) / std::max(1e-6f, tile.sb - tile.sa);
            const double down = (tile.yb - tile.ya) / std::max(1e-6f, tile.tb - tile.ta);
            const double texelsPerPixel = std::max(image.width / across, image.height / down);
            const double s = halfTexel(image.width, texelsPerPixel);
            const double t = halfTexel(image.height, texelsPerPixel);
            tile.sa = insetCoordinate(tile.sa, s), tile.sb = insetCoordinate(tile.sb, s);
            tile.ta = insetCoordinate(tile.ta, t), tile.tb = insetCoordinate(tile.tb, t);
        }
    }
    return count;
}
