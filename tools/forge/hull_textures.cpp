// Hull plating, engines, canopies and missile sprites of the races.
#include "tools/forge/noise.h"
#include "tools/forge/painters.h"

#include <cmath>
#include <vector>

namespace {
struct Panel {
    int x, y, w, h;
    float tone; // -1..1
    int kind;   // 0..7, what is painted on it
};

// Splits the square into panels whose edges fall on a 4-pixel grid; the tile's
// own border is a seam on every side, so the plating wraps without a join.
void splitPanels(Rng& rng, int x, int y, int w, int h, int depth, std::vector<Panel>& out) {
    const int minSide = 12;
    bool canX = w >= 2 * minSide, canY = h >= 2 * minSide;
    if (depth == 0 || (!canX && !canY) || (depth <= 2 && nextUnit(rng) < 0.25f)) {
        out.push_back({x, y, w, h, nextRange(rng, -1.0f, 1.0f), nextInt(rng, 8)});
        return;
    }
    bool alongX = canX && (!canY || (w > h ? nextUnit(rng) < 0.8f : nextUnit(rng) < 0.2f));
    int side = alongX ? w : h;
    int cut = minSide + 4 * nextInt(rng, (side - 2 * minSide) / 4 + 1);
    if (alongX) {
        splitPanels(rng, x, y, cut, h, depth - 1, out);
        splitPanels(rng, x + cut, y, w - cut, h, depth - 1, out);
    } else {
        splitPanels(rng, x, y, w, cut, depth - 1, out);
        splitPanels(rng, x, y + cut, w, h - cut, depth - 1, out);
    }
}

// Large-scale dirt that repeats with the tile.
float grime(int x, int y, int size, uint32_t seed) {
    float s = 4.0f / static_cast<float>(size);
    return fbm2(static_cast<float>(x) * s, static_cast<float>(y) * s, seed, 5, 4);
}

// Light from the upper left: panel edges get a bright lip and a dark seam.
float bevel(int lx, int ly, int w, int h) {
    if (lx == w - 1 || ly == h - 1) return -1.0f; // the seam itself
    if (lx == 0 || ly == 0) return 0.2f;
    if (lx == w - 2 || ly == h - 2) return -0.15f;
    return 0.0f;
}

bool isRivet(int lx, int ly, int w, int h) {
    auto on = [](int a, int b) { return a == b || a == b + 1; };
    return (on(lx, 3) || on(lx, w - 6)) && (on(ly, 3) || on(ly, h - 6));
}

Colour paintPanelPixel(const PlatingPaint& paint, const Panel& p, int lx, int ly) {
    Colour c = paint.base * (1.0f + 0.07f * p.tone);
    bool inner = lx >= 4 && ly >= 4 && lx < p.w - 5 && ly < p.h - 5;
    switch (p.kind) {
    case 3: // vent slots
        if (inner && p.w >= 16 && p.h >= 16 && (ly - 4) % 4 < 2)
            c = mixColour(c, paint.dark, 0.75f);
        break;
    case 4: // recessed inset
        if (inner) {
            c = c * 0.8f;
            if (lx == 4 || ly == 4) c = mixColour(c, paint.dark, 0.5f);
            if (lx == p.w - 6 || ly == p.h - 6) c = c * 1.2f;
        }
        break;
    case 5: // markings
        switch (paint.style) {
        case PlatingStyle::Plates:
            if (ly >= p.h / 3 && ly < p.h / 3 + (p.h + 5) / 6) c = paint.marking;
            break;
        case PlatingStyle::Hazard:
            if (inner) c = ((lx + ly) / 5) % 2 == 0 ? paint.marking : paint.dark;
            break;
        case PlatingStyle::Filigree: {
            float dx = static_cast<float>(lx) - 0.5f * static_cast<float>(p.w - 1);
            float dy = static_cast<float>(ly) - 0.5f * static_cast<float>(p.h - 1);
            float r = std::sqrt(dx * dx + dy * dy);
            float limit = 0.5f * static_cast<float>(p.w < p.h ? p.w : p.h) - 3.0f;
            if (r < limit && std::fmod(r, 4.0f) < 1.0f) c = mixColour(c, paint.dark, 0.6f);
            break;
        }
        case PlatingStyle::Circuit:
            c = c * 0.7f;
            if (inner && (lx == p.w / 2 || ly == p.h / 2)) c = paint.marking;
            break;
        case PlatingStyle::Chitin:
            break;
        }
        break;
    case 6: // rivets
        if (isRivet(lx, ly, p.w, p.h)) c = c * 1.35f;
        break;
    case 7: // small lights along the bottom edge
        if (ly == p.h - 4 && lx >= 3 && lx < p.w - 4 && lx % 6 < 2)
            c = paint.style == PlatingStyle::Hazard ? paint.marking * 0.9f
                                                    : mixColour(paint.marking, {1, 1, 1}, 0.4f);
        break;
    default:
        break;
    }
    float shade = bevel(lx, ly, p.w, p.h);
    if (shade <= -1.0f) {
        c = mixColour(c, paint.dark, 0.75f);
        if (paint.style == PlatingStyle::Circuit && (p.kind & 1)) c = paint.marking * 0.85f;
    } else {
        c = c * (1.0f + shade);
    }
    return c;
}

void paintPanels(Canvas& canvas, const PlatingPaint& paint) {
    const int size = canvas.width;
    Rng rng = makeRng(paint.seed);
    std::vector<Panel> panels;
    splitPanels(rng, 0, 0, size, size, size >= 256 ? 7 : 5, panels);
    float grimeAmount = paint.style == PlatingStyle::Hazard     ? 0.45f
                        : paint.style == PlatingStyle::Filigree ? 0.12f
                                                                : 0.22f;
    for (const Panel& p : panels) {
        for (int ly = 0; ly < p.h; ++ly) {
            for (int lx = 0; lx < p.w; ++lx) {
                int x = p.x + lx, y = p.y + ly;
                Colour c = paintPanelPixel(paint, p, lx, ly);
                float g = grime(x, y, size, paint.seed + 1);
                float fine = hashUnit(hash2(x, y, paint.seed)) - 0.5f;
                float k = 1.0f + grimeAmount * g + 0.05f * fine;
                if (paint.style == PlatingStyle::Filigree) {
                    // Polished metal: a soft sheen across the tile, wrapping with it.
                    k += 0.12f * static_cast<float>(turnSin(static_cast<double>(x + y) / size));
                }
                float* px = pixelAt(canvas, x, y);
                px[0] = c.r * k;
                px[1] = c.g * k;
                px[2] = c.b * k;
            }
        }
    }
}

void paintChitin(Canvas& canvas, const PlatingPaint& paint) {
    const int size = canvas.width;
    const int cells = 6;
    float s = static_cast<float>(cells) / static_cast<float>(size);
    forEachPixel(canvas, [&](int x, int y) {
        float fx = (static_cast<float>(x) + 0.5f) * s, fy = (static_cast<float>(y) + 0.5f) * s;
        // Warp the cells a little so they look grown, not drawn.
        float wx = fx + 0.25f * noise2(fx * 2.0f, fy * 2.0f, paint.seed, 2 * cells, 2 * cells);
        float wy = fy + 0.25f * noise2(fx * 2.0f, fy * 2.0f, paint.seed + 5, 2 * cells, 2 * cells);
        CellDistance cell = cellNoise(wx, wy, paint.seed + 9, cells);
        float crevice = cell.second - cell.nearest;
        float tone = hashUnit(cell.id) - 0.5f;
        float dome = 1.15f - 0.6f * cell.nearest;
        Colour c = paint.base * (dome * (1.0f + 0.25f * tone));
        float mottle = fbm2(fx * 3.0f, fy * 3.0f, paint.seed + 3, 3, 3 * cells);
        c = c * (1.0f + 0.3f * mottle);
        float edge = smoothstep(0.02f, 0.14f, crevice);
        c = mixColour(paint.dark, c, edge);
        float vein = (1.0f - smoothstep(0.0f, 0.05f, crevice)) *
                     smoothstep(-0.1f, 0.3f, fbm2(fx, fy, paint.seed + 4, 2, cells));
        c = mixColour(c, paint.marking, 0.8f * vein);
        setPixel(canvas, x, y, c);
    });
}

// A soft bright blob: 1 at the centre, falling off with distance d over `radius`.
float glow(float d, float radius) {
    float q = d / radius;
    return 1.0f / (1.0f + q * q * q * q);
}
} // namespace

Canvas paintPlating(int size, const PlatingPaint& paint) {
    Canvas canvas = makeCanvas(size, size, paint.base);
    if (paint.style == PlatingStyle::Chitin) {
        paintChitin(canvas, paint);
    } else {
        paintPanels(canvas, paint);
    }
    return canvas;
}

Canvas paintEngine(int size, Colour metal, Colour glowColour, uint32_t seed) {
    Canvas canvas = makeCanvas(size, size, metal);
    float fs = static_cast<float>(size);
    forEachPixel(canvas, [&](int x, int y) {
        Colour c = metal;
        float wear = 1.0f + 0.12f * fbm2(static_cast<float>(x) * 8.0f / fs,
                                         static_cast<float>(y) * 8.0f / fs, seed, 3, 8);
        if (y < size / 2) {
            // Ribs around the engine (v runs along it) and seams along it.
            int rib = y % 6;
            if (rib == 0) c = c * 1.3f;
            if (rib == 4 || rib == 5) c = c * 0.55f;
            if (x % (size / 4) == 0) c = c * 0.6f;
            c = c * wear;
        } else {
            float dx = centred(x, fs);
            float dy = (static_cast<float>(y) + 0.5f) / fs - 0.75f;
            float d = std::sqrt(dx * dx + dy * dy) / 0.25f; // 1 at the nozzle rim
            if (d < 0.82f) {
                float hot = 1.0f - smoothstep(0.0f, 0.55f, d);
                c = mixColour(glowColour, {1.0f, 1.0f, 0.95f}, hot * hot);
                c = c * (1.0f - 0.35f * smoothstep(0.5f, 0.82f, d));
            } else if (d < 0.9f) {
                c = metal * 0.35f; // the nozzle lip's shadow
            } else if (d < 1.0f) {
                c = metal * 1.25f;
            } else {
                c = metal * (0.7f * wear);
            }
        }
        setPixel(canvas, x, y, c);
    });
    return canvas;
}

Canvas paintCanopy(int size, Colour glass, Colour lights, uint32_t seed) {
    Canvas canvas = makeCanvas(size, size, glass);
    float fs = static_cast<float>(size);
    int cell = size / 8;
    forEachPixel(canvas, [&](int x, int y) {
        float fy = static_cast<float>(y) / fs;
        Colour c = glass * (0.7f + 0.5f * fy);
        // A diagonal reflection band that wraps with the tile.
        float band = static_cast<float>(turnSin(static_cast<double>(x + 2 * y) / size));
        c = c + Colour{0.25f, 0.28f, 0.3f} * smoothstep(0.75f, 1.0f, band);
        // Window frames and a few lit panes.
        int wx = x % cell, wy = y % cell;
        if (wx == 0 || wy == 0) {
            c = glass * 0.3f;
        } else if (hashUnit(hash2(x / cell, y / cell, seed)) < 0.35f && wx > 1 && wy > 1 &&
                   wx < cell - 1 && wy < cell - 1) {
            c = mixColour(c, lights, 0.85f);
        }
        setPixel(canvas, x, y, c);
    });
    return canvas;
}

Canvas paintMissile(int size, MissileShape shape, Colour core, Colour halo) {
    Canvas canvas = makeCanvas(size, size, halo, 0.0f);
    float fs = static_cast<float>(size);
    forEachPixel(canvas, [&](int x, int y) {
        // The missile fills about a third of the sprite; its glow fades out before the edge.
        const float zoom = 1.0f / 0.7f;
        float dx = centred(x, fs) * zoom;
        float dy = centred(y, fs) * zoom;
        float r = std::sqrt(dx * dx + dy * dy);
        float c1 = r > 0.0f ? dx / r : 1.0f; // cosine of the angle around the centre
        float heat = 0.0f;                   // white-hot part
        float alpha = 0.0f;                  // coloured glow
        switch (shape) {
        case MissileShape::Flare: {
            float ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
            float spikes = glow(ay, 0.012f) * (1.0f - smoothstep(0.05f, 0.4f, ax)) +
                           glow(ax, 0.012f) * (1.0f - smoothstep(0.05f, 0.4f, ay));
            heat = glow(r, 0.05f);
            alpha = glow(r, 0.12f) + 0.9f * spikes;
            break;
        }
        case MissileShape::Plasma: {
            float ring = glow(r - 0.16f < 0 ? 0.16f - r : r - 0.16f, 0.025f);
            heat = glow(r, 0.07f);
            alpha = glow(r, 0.15f) + 0.8f * ring;
            break;
        }
        case MissileShape::Spore: {
            float c2 = c1 * c1;
            float cos6 = 32 * c2 * c2 * c2 - 48 * c2 * c2 + 18 * c2 - 1;
            float reach = 0.1f + 0.1f * (cos6 > 0 ? cos6 * cos6 : 0.0f);
            heat = glow(r, 0.045f);
            alpha = glow(r, reach);
            break;
        }
        case MissileShape::Halo: {
            float ring = glow(r - 0.2f < 0 ? 0.2f - r : r - 0.2f, 0.03f);
            heat = glow(r, 0.05f);
            alpha = glow(r, 0.09f) + ring;
            break;
        }
        case MissileShape::Blade: {
            float cos3 = 4 * c1 * c1 * c1 - 3 * c1;
            float lobe = cos3 > 0 ? cos3 * cos3 * cos3 : 0.0f;
            heat = glow(r, 0.04f);
            alpha = glow(r, 0.07f + 0.22f * lobe);
            break;
        }
        }
        alpha = clamp01(alpha) * (1.0f - smoothstep(0.4f, 0.5f, r / zoom));
        Colour c = mixColour(halo, core, clamp01(heat * 1.3f));
        setPixel(canvas, x, y, c, clamp01(alpha + heat));
    });
    return canvas;
}
