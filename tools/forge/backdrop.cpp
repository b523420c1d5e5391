// The space backdrop: one panorama cut into the six background tiles.
//
// The panorama is 4 x 3 units, the shape of the screen, with y growing
// downwards; at 800 x 600 one unit is 200 screen pixels. Every tile samples
// the same continuous picture at its own place, so the tiles join without a
// seam. No star is centred near a tile edge (within two texels of the 256-texel
// tiles of old, so the sky keeps the stars it had): a driver without edge
// clamping may pull a little of the opposite edge into the edge texels.
#include "tools/forge/noise.h"
#include "tools/forge/painters.h"

#include <cmath>
#include <vector>

namespace {
constexpr float PanoramaWidth = BackdropWidthUnits;
constexpr float PanoramaHeight = BackdropHeightUnits;
constexpr float ReferencePixelsPerUnit = 200.0f;

struct Star {
    float x, y;   // units
    float radius; // reference pixels
    float bright; // peak, 0..~2
    Colour colour;
    bool glint; // a bright star with cross spikes
};

// The band of the nebula runs from the upper left to the lower right.
float bandWeight(float x, float y) {
    float d = (y - (0.55f + 0.5f * x)) / 0.8f;
    return 1.0f / (1.0f + d * d);
}

// The gas giant in the lower right corner.
constexpr float PlanetX = 3.55f, PlanetY = 3.35f, PlanetRadius = 0.95f;

float planetCover(float x, float y) {
    float dx = x - PlanetX, dy = y - PlanetY;
    float d = std::sqrt(dx * dx + dy * dy);
    return 1.0f - smoothstep(PlanetRadius - 0.004f, PlanetRadius + 0.004f, d);
}

Colour starColour(float t) {
    // Blue-white through white and yellow to orange.
    static const Colour ramp[] = {
        {0.70f, 0.80f, 1.00f}, {1.00f, 1.00f, 1.00f}, {1.00f, 0.92f, 0.75f}, {1.00f, 0.70f, 0.45f}};
    t = clamp01(t) * 3.0f;
    int i = static_cast<int>(t);
    if (i >= 3) return ramp[3];
    return mixColour(ramp[i], ramp[i + 1], t - static_cast<float>(i));
}

const std::vector<Star>& stars() {
    static const std::vector<Star> list = [] {
        std::vector<Star> out;
        Rng rng = makeRng(2024u);
        const float tileW = PanoramaWidth / 3.0f, tileH = PanoramaHeight / 2.0f;
        const float marginX = 2.0f * PanoramaWidth / (3.0f * 256.0f);
        const float marginY = 2.0f * PanoramaHeight / (2.0f * 256.0f);
        int wanted = 2600;
        while (static_cast<int>(out.size()) < wanted) {
            float x = nextUnit(rng) * PanoramaWidth;
            float y = nextUnit(rng) * PanoramaHeight;
            float kind = nextUnit(rng);
            float keep = nextUnit(rng);
            float tint = nextUnit(rng);
            // More stars along the band, none behind the planet.
            if (keep > 0.35f + 0.65f * bandWeight(x, y)) continue;
            if (planetCover(x, y) > 0.0f) continue;
            float fx = std::fmod(x, tileW), fy = std::fmod(y, tileH);
            if (fx < marginX || fx > tileW - marginX || fy < marginY || fy > tileH - marginY)
                continue;
            Star s{x, y, 0.55f, 0.25f + 0.35f * kind, starColour(tint), false};
            if (kind > 0.93f) {
                s.radius = 0.8f;
                s.bright = 0.9f + 1.2f * (kind - 0.93f) / 0.07f;
            }
            if (kind > 0.993f) {
                s.radius = 1.1f;
                s.bright = 2.0f;
                s.glint = true;
            }
            out.push_back(s);
        }
        return out;
    }();
    return list;
}

Colour nebula(float x, float y) {
    const float f = 0.65f;
    float qx = fbm2(x * f, y * f, 11u, 5);
    float qy = fbm2(x * f + 5.2f, y * f + 1.3f, 12u, 5);
    float n = fbm2(x * f + 1.6f * qx, y * f + 1.6f * qy, 13u, 6);
    float band = bandWeight(x, y);
    float density = smoothstep(-0.25f, 0.45f, n) * (0.1f + 0.9f * band);
    // Dark dust lanes: thin where the ridged noise peaks.
    float lane = 1.0f - std::fabs(fbm2(x * 1.6f + 3.0f, y * 1.6f, 14u, 5));
    float dust = smoothstep(0.75f, 0.95f, lane) * band;
    float hue = 0.5f + 0.5f * fbm2(x * 0.5f + 9.0f, y * 0.5f, 15u, 3) + 0.3f * qx;
    Colour magenta{0.60f, 0.14f, 0.42f}, teal{0.10f, 0.34f, 0.60f}, ember{1.0f, 0.58f, 0.38f};
    Colour c = mixColour(magenta, teal, smoothstep(0.3f, 0.7f, hue));
    c = mixColour(c, ember, smoothstep(0.55f, 0.9f, density) * 0.6f);
    float glow = (0.12f * density + 0.5f * density * density) * (1.0f - 0.75f * dust);
    // A faint wash of colour everywhere, so that space is not flat black.
    float wash = 0.5f + 0.5f * fbm2(x * 0.35f + 4.0f, y * 0.35f, 16u, 4);
    Colour washColour = mixColour({0.02f, 0.03f, 0.10f}, {0.09f, 0.03f, 0.10f}, wash);
    // Unresolved stars along the band.
    float haze = 0.03f * band * (0.7f + 0.3f * qy);
    Colour base = Colour{0.004f, 0.006f, 0.016f} + washColour * (0.6f * wash);
    return base + c * glow + Colour{0.8f, 0.8f, 1.0f} * haze;
}

Colour planet(float x, float y, Colour behind) {
    float cover = planetCover(x, y);
    float dx = (x - PlanetX) / PlanetRadius, dy = (y - PlanetY) / PlanetRadius;
    float d2 = dx * dx + dy * dy;
    // A thin blue rim of atmosphere outside the limb.
    float rimDist = std::sqrt(d2) - 1.0f;
    float rim = rimDist > 0.0f ? 1.0f / (1.0f + (rimDist / 0.012f) * (rimDist / 0.012f)) : 0.0f;
    Colour out = behind + Colour{0.25f, 0.45f, 0.8f} * (0.35f * rim);
    if (cover <= 0.0f) return out;
    float dz = std::sqrt(d2 < 1.0f ? 1.0f - d2 : 0.0f);
    // Lit from the upper left.
    float light = clamp01(-0.55f * dx - 0.6f * dy + 0.58f * dz);
    float lat = dy + 0.15f * dx; // tilted bands
    float bands = fbm2(lat * 9.0f, dx * 0.8f + 0.4f * fbm2(dx * 4.0f, lat * 12.0f, 21u, 3), 22u, 4);
    Colour a{0.55f, 0.42f, 0.30f}, b{0.30f, 0.36f, 0.42f};
    Colour surface = mixColour(a, b, smoothstep(-0.3f, 0.3f, bands));
    float limb = 0.35f + 0.65f * dz;
    Colour lit = surface * (0.02f + 0.6f * light * limb) +
                 Colour{0.2f, 0.35f, 0.6f} * (0.25f * (1.0f - dz) * light);
    return mixColour(out, lit, cover);
}

// The square of pixels a star is painted in, on a canvas starting at (x0, y0)
// units with `ux` and `uy` units a pixel, and its size there.
struct StarReach {
    int i0, i1, j0, j1;
    float radius, bright; // reference pixels; the peak
    float reach;          // reference pixels from the centre, where it has faded out
};

StarReach starReach(const Star& s, float x0, float y0, float ux, float uy) {
    const float pixelX = ux * ReferencePixelsPerUnit, pixelY = uy * ReferencePixelsPerUnit;
    const float pixelSize = pixelX > pixelY ? pixelX : pixelY;
    StarReach r;
    r.radius = s.radius > 0.6f * pixelSize ? s.radius : 0.6f * pixelSize;
    r.bright = s.bright * (s.radius * s.radius) / (r.radius * r.radius);
    if (r.bright < 0.35f * s.bright) r.bright = 0.35f * s.bright;
    // A glint's spikes reach far; they and the halo have faded out by then.
    r.reach = (s.glint ? 20.0f : 4.0f) * r.radius;
    r.i0 = static_cast<int>(std::floor((s.x - x0) / ux - r.reach / pixelX));
    r.i1 = static_cast<int>(std::ceil((s.x - x0) / ux + r.reach / pixelX));
    r.j0 = static_cast<int>(std::floor((s.y - y0) / uy - r.reach / pixelY));
    r.j1 = static_cast<int>(std::ceil((s.y - y0) / uy + r.reach / pixelY));
    return r;
}

// Adds a star's light to the canvas. Over the outer half of its reach the
// light fades to nothing, so that the square it is painted in never shows,
// however large the screen draws it.
void paintStar(Canvas& canvas, const Star& s, float x0, float y0, float ux, float uy) {
    const StarReach r = starReach(s, x0, y0, ux, uy);
    if (r.i1 < 0 || r.j1 < 0 || r.i0 >= canvas.width || r.j0 >= canvas.height) return;
    for (int j = r.j0 < 0 ? 0 : r.j0; j <= r.j1 && j < canvas.height; ++j) {
        for (int i = r.i0 < 0 ? 0 : r.i0; i <= r.i1 && i < canvas.width; ++i) {
            float dx = (x0 + (static_cast<float>(i) + 0.5f) * ux - s.x) * ReferencePixelsPerUnit;
            float dy = (y0 + (static_cast<float>(j) + 0.5f) * uy - s.y) * ReferencePixelsPerUnit;
            float d2 = dx * dx + dy * dy;
            if (d2 >= r.reach * r.reach) continue;
            float q = d2 / (r.radius * r.radius);
            float v = r.bright / (1.0f + q * q);
            if (s.glint) {
                float ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
                float spike = 1.0f / (1.0f + (ay / 0.5f) * (ay / 0.5f)) / (1.0f + ax / 3.0f) +
                              1.0f / (1.0f + (ax / 0.5f) * (ax / 0.5f)) / (1.0f + ay / 3.0f);
                v += 0.35f * spike + 0.12f / (1.0f + q * 0.08f);
            }
            v *= 1.0f - smoothstep(0.5f * r.reach, r.reach, std::sqrt(d2));
            float* p = pixelAt(canvas, i, j);
            p[0] += s.colour.r * v;
            p[1] += s.colour.g * v;
            p[2] += s.colour.b * v;
        }
    }
}

// Renders the panorama region starting at (x0, y0) units, `ux` and `uy` units per pixel.
void renderPanorama(Canvas& canvas, float x0, float y0, float ux, float uy) {
    float pixelX = ux * ReferencePixelsPerUnit, pixelY = uy * ReferencePixelsPerUnit;
    float pixelSize = pixelX > pixelY ? pixelX : pixelY;
    // The nebula holds nothing finer than a few reference pixels: on a canvas
    // finer than that it is worked out on a grid about a reference pixel apart
    // and blended in between, which keeps large tiles quick to paint.
    const int step = pixelSize < 0.5f ? static_cast<int>(1.0f / pixelSize) : 1;
    const int gridW = (canvas.width - 1) / step + 2, gridH = (canvas.height - 1) / step + 2;
    std::vector<Colour> grid(static_cast<size_t>(gridW) * static_cast<size_t>(gridH));
    for (int gj = 0; gj < gridH; ++gj)
        for (int gi = 0; gi < gridW; ++gi)
            grid[static_cast<size_t>(gj * gridW + gi)] =
                nebula(x0 + (static_cast<float>(gi * step) + 0.5f) * ux,
                       y0 + (static_cast<float>(gj * step) + 0.5f) * uy);
    for (int j = 0; j < canvas.height; ++j) {
        const int gj = j / step;
        const float fy = static_cast<float>(j - gj * step) / static_cast<float>(step);
        for (int i = 0; i < canvas.width; ++i) {
            const int gi = i / step;
            const float fx = static_cast<float>(i - gi * step) / static_cast<float>(step);
            const Colour* g = &grid[static_cast<size_t>(gj * gridW + gi)];
            Colour c =
                mixColour(mixColour(g[0], g[1], fx), mixColour(g[gridW], g[gridW + 1], fx), fy);
            float* p = pixelAt(canvas, i, j);
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    }
    // Stars, measured in reference pixels so they stay round on the screen.
    for (const Star& s : stars())
        paintStar(canvas, s, x0, y0, ux, uy);
    // The planet covers what lies behind it.
    for (int j = 0; j < canvas.height; ++j) {
        for (int i = 0; i < canvas.width; ++i) {
            float x = x0 + (static_cast<float>(i) + 0.5f) * ux;
            float y = y0 + (static_cast<float>(j) + 0.5f) * uy;
            float dx = x - PlanetX, dy = y - PlanetY;
            if (dx * dx + dy * dy > (PlanetRadius + 0.1f) * (PlanetRadius + 0.1f)) continue;
            float* p = pixelAt(canvas, i, j);
            Colour c = planet(x, y, {p[0], p[1], p[2]});
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    }
}
} // namespace

Canvas paintBackdropTile(int slot) {
    // Slots 3, 4, 5 are the top row, 0, 1, 2 the bottom row, left to right.
    int column = slot % 3;
    int row = slot >= 3 ? 0 : 1;
    float tileW = PanoramaWidth / 3.0f, tileH = PanoramaHeight / 2.0f;
    Canvas canvas = makeCanvas(BackdropTileSize, BackdropTileSize, {0, 0, 0});
    renderPanorama(canvas, static_cast<float>(column) * tileW, static_cast<float>(row) * tileH,
                   tileW / BackdropTileSize, tileH / BackdropTileSize);
    return canvas;
}

Canvas paintBackdropPanorama(int width, int height) {
    Canvas canvas = makeCanvas(width, height, {0, 0, 0});
    renderPanorama(canvas, 0.0f, 0.0f, PanoramaWidth / static_cast<float>(width),
                   PanoramaHeight / static_cast<float>(height));
    return canvas;
}

Canvas paintBackdropRegion(int width, int height, float left, float top, float unitsWide) {
    Canvas canvas = makeCanvas(width, height, {0, 0, 0});
    float unit = unitsWide / static_cast<float>(width);
    renderPanorama(canvas, left, top, unit, unit);
    return canvas;
}

Canvas paintBackdropStar(bool glint, float pixelsPerUnit) {
    const Star* star = nullptr;
    for (const Star& s : stars())
        if (s.glint == glint && (!star || s.bright > star->bright)) star = &s;
    const float unit = 1.0f / pixelsPerUnit;
    const StarReach r = starReach(*star, 0.0f, 0.0f, unit, unit);
    Canvas canvas = makeCanvas(r.i1 - r.i0 + 1, r.j1 - r.j0 + 1, {0, 0, 0});
    paintStar(canvas, *star, static_cast<float>(r.i0) * unit, static_cast<float>(r.j0) * unit, unit,
              unit);
    return canvas;
}
