// The resource pictures: the configuration dialog's bitmap and the program
// icon, drawn with a tiny software renderer from the default ships.
#include "tools/forge/authoring.h"
#include "tools/forge/forge.h"
#include "tools/forge/geometry.h"
#include "tools/forge/noise.h"
#include "tools/forge/painters.h"

#include <cmath>
#include <limits>

namespace {
// ---------------------------------------------------------------------------
// Little-endian byte writing.
void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFFu);
    put16(out, v >> 16);
}

void putInfoHeader(std::vector<uint8_t>& out, int width, int height, int bits, uint32_t bytes) {
    put32(out, 40);
    put32(out, static_cast<uint32_t>(width));
    put32(out, static_cast<uint32_t>(height));
    put16(out, 1);
    put16(out, static_cast<uint32_t>(bits));
    put32(out, 0); // no compression
    put32(out, bytes);
    put32(out, 2835); // 72 dpi
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
}

uint8_t byteOf(float v) {
    return static_cast<uint8_t>(clamp01(v) * 255.0f + 0.5f);
}

// A 24-bit BMP file, rows bottom-up and padded to four bytes.
std::vector<uint8_t> encodeBmp(const Canvas& canvas) {
    uint32_t stride = (static_cast<uint32_t>(canvas.width) * 3 + 3) & ~3u;
    uint32_t pixelBytes = stride * static_cast<uint32_t>(canvas.height);
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, 14 + 40 + pixelBytes);
    put32(out, 0);
    put32(out, 14 + 40);
    putInfoHeader(out, canvas.width, canvas.height, 24, pixelBytes);
    for (int y = canvas.height - 1; y >= 0; --y) {
        size_t rowStart = out.size();
        for (int x = 0; x < canvas.width; ++x) {
            const float* p = pixelAt(canvas, x, y);
            out.push_back(byteOf(p[2]));
            out.push_back(byteOf(p[1]));
            out.push_back(byteOf(p[0]));
        }
        while (out.size() - rowStart < stride)
            out.push_back(0);
    }
    return out;
}

// One icon image: a 32-bit BMP without file header, twice as high (colour
// then mask), and the 1-bit mask that marks transparent pixels.
std::vector<uint8_t> encodeIconImage(const Canvas& canvas) {
    int w = canvas.width, h = canvas.height;
    uint32_t maskStride = ((static_cast<uint32_t>(w) + 31) / 32) * 4;
    uint32_t bytes = static_cast<uint32_t>(w * h * 4) + maskStride * static_cast<uint32_t>(h);
    std::vector<uint8_t> out;
    putInfoHeader(out, w, 2 * h, 32, bytes);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const float* p = pixelAt(canvas, x, y);
            out.push_back(byteOf(p[2]));
            out.push_back(byteOf(p[1]));
            out.push_back(byteOf(p[0]));
            out.push_back(byteOf(p[3]));
        }
    }
    for (int y = h - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskStride, 0);
        for (int x = 0; x < w; ++x) {
            if (byteOf(pixelAt(canvas, x, y)[3]) == 0)
                row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80u >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

std::vector<uint8_t> encodeIco(const std::vector<Canvas>& images) {
    std::vector<std::vector<uint8_t>> encoded;
    for (const Canvas& c : images)
        encoded.push_back(encodeIconImage(c));
    std::vector<uint8_t> out;
    put16(out, 0);
    put16(out, 1); // icon
    put16(out, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<uint8_t>(images[i].width >= 256 ? 0 : images[i].width));
        out.push_back(static_cast<uint8_t>(images[i].height >= 256 ? 0 : images[i].height));
        out.push_back(0); // no palette
        out.push_back(0);
        put16(out, 1);  // planes
        put16(out, 32); // bits per pixel
        put32(out, static_cast<uint32_t>(encoded[i].size()));
        put32(out, offset);
        offset += static_cast<uint32_t>(encoded[i].size());
    }
    for (const auto& e : encoded)
        out.insert(out.end(), e.begin(), e.end());
    return out;
}

// ---------------------------------------------------------------------------
// A software renderer for the ships: flat-shaded triangles with a depth buffer,
// drawn at a multiple of the target size and then averaged down.

// Screen space: x right, y down, depth into the screen.
struct View {
    float centreX, centreY; // pixels
    float scale;            // pixels per model unit
    double turn;            // turns in the screen plane, clockwise
    double tilt;            // turns the top of the ship away from the viewer
};

Vec3 toScreen(const View& view, Vec3 p) {
    // Seen from above with the nose up: model -x is screen right, model y is
    // screen down, model z points at the viewer (a proper rotation).
    Vec3 s{-p.x, p.y, -p.z};
    float ct = static_cast<float>(turnCos(view.tilt)), st = static_cast<float>(turnSin(view.tilt));
    s = {s.x, s.y * ct - s.z * st, s.y * st + s.z * ct};
    float cr = static_cast<float>(turnCos(view.turn)), sr = static_cast<float>(turnSin(view.turn));
    s = {s.x * cr - s.y * sr, s.x * sr + s.y * cr, s.z};
    return {view.centreX + view.scale * s.x, view.centreY + view.scale * s.y, view.scale * s.z};
}

struct Raster {
    Canvas colour; // alpha = coverage
    std::vector<float> depth;
};

Raster makeRaster(int width, int height) {
    return {
        makeCanvas(width, height, {0, 0, 0}, 0.0f),
        std::vector<float>(static_cast<size_t>(width) * height, std::numeric_limits<float>::max())};
}

void drawMesh(Raster& raster, const MeshRecord& mesh, Colour base, const View& view) {
    const Vec3 light = normalised({-0.45f, -0.65f, -0.6f}); // up-left, towards the viewer
    for (const MeshTriangle& t : mesh.triangles) {
        Vec3 a = toScreen(view, positionOf(mesh, t.a));
        Vec3 b = toScreen(view, positionOf(mesh, t.b));
        Vec3 c = toScreen(view, positionOf(mesh, t.c));
        Vec3 n = cross(b - a, c - a); // outward in screen space
        if (n.z >= 0.0f) continue;    // faces away from the viewer
        float shade = 0.3f + 0.8f * std::fmax(0.0f, dot(normalised(n), light));
        Colour colour = base * shade;
        float area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
        if (area == 0.0f) continue;
        int x0 = static_cast<int>(std::floor(std::fmin(a.x, std::fmin(b.x, c.x))));
        int x1 = static_cast<int>(std::ceil(std::fmax(a.x, std::fmax(b.x, c.x))));
        int y0 = static_cast<int>(std::floor(std::fmin(a.y, std::fmin(b.y, c.y))));
        int y1 = static_cast<int>(std::ceil(std::fmax(a.y, std::fmax(b.y, c.y))));
        for (int y = y0 < 0 ? 0 : y0; y <= y1 && y < raster.colour.height; ++y) {
            for (int x = x0 < 0 ? 0 : x0; x <= x1 && x < raster.colour.width; ++x) {
                float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
                float wa = ((b.x - px) * (c.y - py) - (b.y - py) * (c.x - px)) / area;
                float wb = ((c.x - px) * (a.y - py) - (c.y - py) * (a.x - px)) / area;
                float wc = 1.0f - wa - wb;
                if (wa < 0.0f || wb < 0.0f || wc < 0.0f) continue;
                float z = wa * a.z + wb * b.z + wc * c.z;
                float& depth = raster.depth[static_cast<size_t>(y) * raster.colour.width + x];
                if (z >= depth) continue;
                depth = z;
                float* p = pixelAt(raster.colour, x, y);
                p[0] = colour.r;
                p[1] = colour.g;
                p[2] = colour.b;
                p[3] = 1.0f;
            }
        }
    }
}

Colour averageColour(const ImageRecord& image) {
    double sum[3] = {0, 0, 0};
    size_t count = image.pixels.size() / 3;
    for (size_t i = 0; i < count; ++i)
        for (int k = 0; k < 3; ++k)
            sum[k] += image.pixels[i * 3 + static_cast<size_t>(k)];
    double n = 255.0 * static_cast<double>(count == 0 ? 1 : count);
    return {static_cast<float>(sum[2] / n), static_cast<float>(sum[1] / n),
            static_cast<float>(sum[0] / n)};
}

void drawShip(Raster& raster, const RaceFileRecord& race, const View& view) {
    for (const PartRecord& part : race.parts) {
        Colour base = averageColour(race.textures[static_cast<size_t>(part.textureIndex)]);
        // Brighten a little: the average of a painted texture is darker than it reads.
        drawMesh(raster, part.mesh, base * 1.25f, view);
    }
}

// Averages `factor` x `factor` blocks and lays the result over `target`.
void composite(Canvas& target, const Canvas& big, int factor) {
    for (int y = 0; y < target.height; ++y) {
        for (int x = 0; x < target.width; ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < factor; ++j) {
                for (int i = 0; i < factor; ++i) {
                    const float* p = pixelAt(big, x * factor + i, y * factor + j);
                    for (int k = 0; k < 3; ++k)
                        sum[k] += p[k] * p[3];
                    sum[3] += p[3];
                }
            }
            if (sum[3] <= 0.0f) continue;
            Colour c{sum[0] / sum[3], sum[1] / sum[3], sum[2] / sum[3]};
            float* out = pixelAt(target, x, y);
            float cover = sum[3] / static_cast<float>(factor * factor);
            blendPixel(out, c, cover);
            out[3] = out[3] + (1.0f - out[3]) * cover;
        }
    }
}

// A glowing line from a to b, laid over the canvas.
void drawBeam(Canvas& canvas, Vec2 a, Vec2 b, Colour near, Colour far, float width) {
    float dx = b.x - a.x, dy = b.y - a.y;
    float len2 = dx * dx + dy * dy;
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            float px = static_cast<float>(x) + 0.5f - a.x, py = static_cast<float>(y) + 0.5f - a.y;
            float t = clamp01((px * dx + py * dy) / len2);
            float ex = px - t * dx, ey = py - t * dy;
            float d = std::sqrt(ex * ex + ey * ey);
            float v = 1.0f / (1.0f + (d / width) * (d / width) * (d / width) * (d / width));
            if (v < 0.01f) continue;
            blendPixel(pixelAt(canvas, x, y), mixColour(near, far, t), v);
        }
    }
}

void drawGlow(Canvas& canvas, Vec2 at, float radius, Colour colour) {
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            float dx = static_cast<float>(x) + 0.5f - at.x,
                  dy = static_cast<float>(y) + 0.5f - at.y;
            float q = (dx * dx + dy * dy) / (radius * radius);
            blendPixel(pixelAt(canvas, x, y), colour, 1.0f / (1.0f + q * q));
        }
    }
}

// ---------------------------------------------------------------------------
// The name, in a 5 x 7 pixel font.
const char* glyph(char c) {
    switch (c) {
    case 'K':
        return "#...##..#.#.#..##...#.#..#..#.#...#";
    case 'E':
        return "######....#....####.#....#....#####";
    case 'S':
        return ".#####....#.....###.....#....#####.";
    case 'T':
        return "#####..#....#....#....#....#....#..";
    case 'R':
        return "####.#...##...#####.#.#..#..#.#...#";
    case 'I':
        return ".###...#....#....#....#....#...###.";
    case 'O':
        return ".###.#...##...##...##...##...#.###.";
    case 'N':
        return "#...##...###..##.#.##..###...##...#";
    default:
        return "...................................";
    }
}

bool inGlyph(const std::string& text, float gx, float gy) {
    if (gx < 0.0f || gy < 0.0f || gy >= 7.0f) return false;
    int cell = static_cast<int>(gx) / 6;
    int col = static_cast<int>(gx) % 6;
    if (cell >= static_cast<int>(text.size()) || col >= 5) return false;
    return glyph(text[static_cast<size_t>(cell)])[static_cast<int>(gy) * 5 + col] == '#';
}

// Draws `text` with its top left at (x, y), each font pixel `scale` pixels,
// with a dark outline so it reads on any background.
void drawText(Canvas& canvas, const std::string& text, float x, float y, float scale, Colour top,
              Colour bottom) {
    const int sub = 4;
    for (int py = 0; py < canvas.height; ++py) {
        for (int px = 0; px < canvas.width; ++px) {
            float cover = 0.0f, shadow = 0.0f;
            for (int j = 0; j < sub; ++j) {
                for (int i = 0; i < sub; ++i) {
                    float sx = (static_cast<float>(px) + (i + 0.5f) / sub - x) / scale;
                    float sy = (static_cast<float>(py) + (j + 0.5f) / sub - y) / scale;
                    if (inGlyph(text, sx, sy)) cover += 1.0f;
                    float o = 0.7f;
                    if (inGlyph(text, sx - o, sy - o) || inGlyph(text, sx + o, sy - o) ||
                        inGlyph(text, sx - o, sy + o) || inGlyph(text, sx + o, sy + o))
                        shadow += 1.0f;
                }
            }
            float* p = pixelAt(canvas, px, py);
            blendPixel(p, {0.0f, 0.0f, 0.02f}, 0.8f * shadow / (sub * sub));
            float t = clamp01((static_cast<float>(py) - y) / (7.0f * scale));
            blendPixel(p, mixColour(top, bottom, t), cover / (sub * sub));
        }
    }
}

const NamedRace* findRace(const std::vector<NamedRace>& races, const std::string& name) {
    for (const NamedRace& r : races)
        if (r.record.raceName == name) return &r;
    return races.empty() ? nullptr : &races.front();
}

Canvas configPicture(const std::vector<NamedRace>& races) {
    const int width = 107, height = 80, factor = 4;
    // The corner of the backdrop with the planet.
    Canvas canvas = paintBackdropRegion(width, height, 1.75f, 1.45f, 2.3f);

    const NamedRace* hero = findRace(races, "Vessari");
    const NamedRace* foe = findRace(races, "Korrhan");
    Raster raster = makeRaster(width * factor, height * factor);
    View heroView{32.0f * factor, 37.0f * factor, 54.0f * factor, 0.19, 0.06};
    View foeView{85.0f * factor, 23.0f * factor, 42.0f * factor, -0.3, 0.08};
    if (foe) drawShip(raster, foe->record, foeView);
    if (hero) drawShip(raster, hero->record, heroView);

    if (hero) {
        const float* near = hero->record.beamColourNear;
        const float* far = hero->record.beamColourFar;
        drawBeam(canvas, {52.5f, 29.0f}, {74.0f, 26.5f}, {near[0], near[1], near[2]},
                 {far[0], far[1], far[2]}, 0.8f);
        drawGlow(canvas, {74.0f, 26.5f}, 2.5f, {1.0f, 0.85f, 0.6f});
    }
    composite(canvas, raster.colour, factor);
    drawText(canvas, "KESTRION", 14.0f, 64.0f, 1.6f, {1.0f, 0.95f, 0.8f}, {0.95f, 0.65f, 0.3f});
    return canvas;
}

Canvas iconPicture(int size, const RaceFileRecord* ship) {
    const int factor = 4;
    float fs = static_cast<float>(size);
    Canvas canvas = makeCanvas(size, size, {0.02f, 0.03f, 0.08f}, 0.0f);
    // A dark disc with a soft nebula and a bright rim.
    forEachPixel(canvas, [&](int x, int y) {
        float cover = 0.0f;
        const int sub = 4;
        for (int j = 0; j < sub; ++j) {
            for (int i = 0; i < sub; ++i) {
                float dx = (static_cast<float>(x) + (i + 0.5f) / sub) / fs - 0.5f;
                float dy = (static_cast<float>(y) + (j + 0.5f) / sub) / fs - 0.5f;
                if (dx * dx + dy * dy < 0.485f * 0.485f) cover += 1.0f;
            }
        }
        float dx = centred(x, fs);
        float dy = centred(y, fs);
        float r = std::sqrt(dx * dx + dy * dy) / 0.485f;
        float cloud = 0.5f + 0.5f * fbm2(dx * 3.0f + 2.0f, dy * 3.0f, 97u, 4);
        Colour c = mixColour({0.02f, 0.03f, 0.10f}, {0.35f, 0.10f, 0.35f}, cloud * 0.6f * (1 - r));
        c = mixColour(c, {0.45f, 0.65f, 1.0f}, smoothstep(0.82f, 1.0f, r) * 0.8f);
        setPixel(canvas, x, y, c, cover / (sub * sub));
    });
    if (ship) {
        Raster raster = makeRaster(size * factor, size * factor);
        View view{0.5f * fs * factor, 0.5f * fs * factor, 0.9f * fs * factor, 0.125, 0.0};
        drawShip(raster, *ship, view);
        composite(canvas, raster.colour, factor);
    }
    return canvas;
}
} // namespace

std::vector<uint8_t> buildConfigBitmap(const std::vector<NamedRace>& races) {
    return encodeBmp(configPicture(races));
}

namespace {
const RaceFileRecord* iconShip(const std::vector<NamedRace>& races) {
    const NamedRace* ship = findRace(races, "Vessari");
    return ship ? &ship->record : nullptr;
}
} // namespace

std::vector<uint8_t> buildIcon(const std::vector<NamedRace>& races) {
    const RaceFileRecord* ship = iconShip(races);
    return encodeIco({iconPicture(48, ship), iconPicture(32, ship), iconPicture(16, ship)});
}

std::vector<uint8_t> buildIconPng(const std::vector<NamedRace>& races, int size) {
    const Canvas canvas = iconPicture(size, iconShip(races));
    Picture picture;
    picture.width = canvas.width;
    picture.height = canvas.height;
    picture.channels = 4;
    picture.pixels.reserve(canvas.rgba.size());
    for (const float v : canvas.rgba)
        picture.pixels.push_back(byteOf(v));
    return encodePng(picture);
}
