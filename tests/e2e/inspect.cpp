// kestrion-e2e-inspect: the native half of the end-to-end tests. It lists the
// races of a run folder and checks the saver's screenshots against the data
// set they were drawn from.
//
//   races DIR                       one "NAME<tab>DESCRIPTION" line per race file
//   header BMP WIDTH HEIGHT         the file is a screenshot of that size, byte for byte
//   picture BMP EXPLOSION_AS [RACE.ast...]
//                                   header, the six background tiles, ships near the centre;
//                                   with race files also beams in one of their colours
//   picture PPM EXPLOSION_AS [...]  the same for a binary PPM (a window read back with xwd)
//   background BMP EXPLOSION_AS     header, the six background tiles and no ships at all
//   paint BMP R G B                 enough lit pixels of that colour's hue (a race's hulls)
//   round BMP R G B                 the blobs of that hue (ball-shaped hulls) are as wide as high
//   sky PICTURE [--max-star-height N] [--min-stars N]
//                                   the backdrop alone: small stars round (width over height
//                                   0.9 to 1.1), no tile join standing out from the rows and
//                                   columns around it; optionally the stars' height at half
//                                   brightness and their number bounded
//   beams PICTURE R G B thick|thin  the beams of that pure colour are wide (a beam pixel has
//                                   at least 3.5 beam neighbours of 8 on average) or 1 pixel
//                                   (at most 3: crossing lines add a few)
//
// Exit status 0 when the check holds, 1 with the reason on stderr when not.
#include "data/catalogue.h"
#include "data/formats.h"
#include "data/mesh.h"
#include "data/scene.h"
#include "render/backdrop.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int fail(const std::string& reason) {
    std::fprintf(stderr, "kestrion-e2e-inspect: %s\n", reason.c_str());
    return 1;
}

uint32_t read32(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | (uint32_t)bytes[at + 3] << 24;
}

// The bytes of a stored row: 3 a pixel, padded to a multiple of 4.
uint32_t rowBytes(uint32_t width) {
    return (width * 3 + 3) & ~3u;
}

// The only header a W x H screenshot may have.
std::vector<uint8_t> expectedHeader(uint32_t width, uint32_t height) {
    std::vector<uint8_t> header;
    auto put16 = [&](uint32_t v) {
        header.push_back(v & 0xFF);
        header.push_back(v >> 8 & 0xFF);
    };
    auto put32 = [&](uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    uint32_t imageSize = rowBytes(width) * height;
    put16(0x4D42);
    put32(imageSize + 54);
    put16(0);
    put16(0);
    put32(54);
    put32(40);
    put32(width);
    put32(height);
    put16(1);
    put16(24);
    put32(0);
    put32(imageSize);
    put32(10079);
    put32(10079);
    put32(0);
    put32(0);
    return header;
}

bool checkHeader(const std::vector<uint8_t>& file, uint32_t width, uint32_t height,
                 std::string& reason) {
    std::vector<uint8_t> header = expectedHeader(width, height);
    if (file.size() != rowBytes(width) * height + 54) {
        reason = "file holds " + std::to_string(file.size()) + " bytes, expected " +
                 std::to_string(rowBytes(width) * height + 54);
        return false;
    }
    for (size_t i = 0; i < header.size(); ++i)
        if (file[i] != header[i]) {
            char text[120];
            std::snprintf(text, sizeof text, "header byte %zu is 0x%02x, expected 0x%02x", i,
                          file[i], header[i]);
            reason = text;
            return false;
        }
    return true;
}

// A screenshot as rows top to bottom of blue, green, red bytes.
struct Picture {
    int width = 0, height = 0;
    size_t stride = 0;               // bytes a row, padding included
    const uint8_t* pixels = nullptr; // bottom row first, as stored
    const uint8_t* at(int x, int y) const {
        return pixels + (size_t)(height - 1 - y) * stride + (size_t)x * 3;
    }
};

// What the saver should show at a pixel of a tile: the background image
// stretched over the tile with linear filtering, clamped at its edges, t = 0
// at the tile's top edge.
void sampleTile(const ImageRecord& image, double s, double t, double out[3]) {
    double u = s * image.width - 0.5, v = t * image.height - 0.5;
    int x0 = (int)std::floor(u), y0 = (int)std::floor(v);
    double fx = u - x0, fy = v - y0;
    auto texel = [&](int x, int y, int c) {
        x = std::clamp(x, 0, image.width - 1);
        y = std::clamp(y, 0, image.height - 1);
        return (double)image.pixels[((size_t)y * image.width + x) * 3 + c];
    };
    for (int c = 0; c < 3; ++c)
        out[c] = (1 - fx) * (1 - fy) * texel(x0, y0, c) + fx * (1 - fy) * texel(x0 + 1, y0, c) +
                 (1 - fx) * fy * texel(x0, y0 + 1, c) + fx * fy * texel(x0 + 1, y0 + 1, c);
}

struct Tile {
    int slot;
    double xa, xb, ya, yb;        // edges as drawn
    double sa, sb, ta, tb;        // texture coordinates at those edges
    int left, right, top, bottom; // pixels whose centres lie inside
    double s(int x) const { return sa + (sb - sa) * (x + 0.5 - xa) / (xb - xa); }
    double t(int y) const { return ta + (tb - ta) * (y + 0.5 - ya) / (yb - ya); }
};

// The tiles as the frame lays them out in a window of this size (the view
// following the window's shape, as in every test).
std::vector<Tile> tilesFor(int width, int height, SceneShape shape = SceneShape::WindowAspect) {
    BackdropTile placed[6];
    const int count = layOutBackdrop(width, height, shape, nullptr, placed);
    std::vector<Tile> tiles;
    for (int i = 0; i < count; ++i) {
        const BackdropTile& p = placed[i];
        tiles.push_back({p.slot, p.xa, p.xb, p.ya, p.yb, p.sa, p.sb, p.ta, p.tb,
                         (int)std::ceil(p.xa - 0.5), (int)std::ceil(p.xb - 0.5),
                         (int)std::ceil(p.ya - 0.5), (int)std::ceil(p.yb - 0.5)});
    }
    return tiles;
}

// The middle of the screen, where the fleets start; the tile comparison leaves it out.
bool inCentre(const Picture& picture, int x, int y) {
    return std::abs(2 * x - picture.width) < picture.width / 2 &&
           std::abs(2 * y - picture.height) < picture.height / 2;
}

int largestDifference(const uint8_t* pixel, const double expected[3]) {
    int largest = 0;
    for (int c = 0; c < 3; ++c)
        largest = std::max(largest, (int)std::lround(std::fabs(pixel[c] - expected[c])));
    return largest;
}

// A pixel counts as background when every channel lies within this of the
// expected colour (the centre check).
const int BackgroundTolerance = 24;

// How far a tile of the picture (outside the centre and a seam margin) is from
// `image` drawn into that tile: the mean absolute difference per channel over
// the best 90% of the pixels, so that ships, beams and explosions passing
// through the tile do not count.
double tileDifference(const Picture& picture, const Tile& tile, const ImageRecord& image) {
    const int margin = 2;
    std::vector<double> differences;
    for (int y = tile.top + margin; y < tile.bottom - margin; y += 2)
        for (int x = tile.left + margin; x < tile.right - margin; x += 2) {
            if (inCentre(picture, x, y)) continue;
            double expected[3];
            sampleTile(image, tile.s(x), tile.t(y), expected);
            const uint8_t* pixel = picture.at(x, y);
            double difference = 0;
            for (int c = 0; c < 3; ++c)
                difference += std::fabs(pixel[c] - expected[c]) / 3;
            differences.push_back(difference);
        }
    std::sort(differences.begin(), differences.end());
    size_t kept = differences.size() * 9 / 10;
    if (kept == 0) return 255;
    double sum = 0;
    for (size_t i = 0; i < kept; ++i)
        sum += differences[i];
    return sum / kept;
}

// A binary PPM ("P6", 8 bits a channel) as the BMP layout: blue, green, red,
// bottom row first. False when the file is not one.
bool ppmAsBmpPixels(const std::vector<uint8_t>& file, Picture& picture,
                    std::vector<uint8_t>& pixels) {
    size_t at = 0;
    auto number = [&](int& value) {
        while (at < file.size() && (std::isspace(file[at]) || file[at] == '#')) {
            if (file[at] == '#')
                while (at < file.size() && file[at] != '\n')
                    ++at;
            else
                ++at;
        }
        if (at >= file.size() || !std::isdigit(file[at])) return false;
        value = 0;
        while (at < file.size() && std::isdigit(file[at]) && value < 100000)
            value = value * 10 + (file[at++] - '0');
        return true;
    };
    int maximum = 0;
    if (file.size() < 2 || file[0] != 'P' || file[1] != '6') return false;
    at = 2;
    if (!number(picture.width) || !number(picture.height) || !number(maximum) || maximum != 255 ||
        picture.width <= 0 || picture.height <= 0)
        return false;
    ++at; // the one blank before the pixels
    const size_t row = (size_t)picture.width * 3;
    if (file.size() - at < row * picture.height) return false;
    pixels.resize(row * picture.height);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* rgb = &file[at + y * row + x * 3];
            uint8_t* bgr = &pixels[(picture.height - 1 - y) * row + x * 3];
            bgr[0] = rgb[2];
            bgr[1] = rgb[1];
            bgr[2] = rgb[0];
        }
    picture.stride = row;
    picture.pixels = pixels.data();
    return true;
}

// The pixels of a screenshot BMP, rows padded as written; false with the reason.
bool bmpPicture(const std::vector<uint8_t>& file, Picture& picture, std::string& reason) {
    if (file.size() < 54) {
        reason = "shorter than a BMP header";
        return false;
    }
    picture.width = (int)read32(file, 18);
    picture.height = (int)read32(file, 22);
    if (!checkHeader(file, picture.width, picture.height, reason)) return false;
    picture.stride = rowBytes(picture.width);
    picture.pixels = file.data() + 54;
    return true;
}

// Beam pixels: a beam is a line from the near colour to the far colour of its
// race, drawn without texture, light or blending, so its pixels lie on that
// colour segment. Counts the pixels on a segment of `races` that differ
// clearly from the background drawn there.
long beamPixels(const Picture& picture, const EffectsFileRecord& effects,
                const std::vector<RaceFileRecord>& races) {
    long count = 0;
    for (const Tile& tile : tilesFor(picture.width, picture.height))
        for (int y = tile.top; y < tile.bottom; ++y)
            for (int x = tile.left; x < tile.right; ++x) {
                const uint8_t* pixel = picture.at(x, y);
                double expected[3];
                sampleTile(effects.backgrounds[tile.slot], tile.s(x), tile.t(y), expected);
                if (largestDifference(pixel, expected) <= 2 * BackgroundTolerance) continue;
                for (const RaceFileRecord& race : races) {
                    // Distance from the pixel to the segment near..far, in byte units.
                    double near[3], far[3], along = 0, length = 0;
                    for (int c = 0; c < 3; ++c) {
                        near[c] = race.beamColourNear[2 - c] * 255; // stored blue first
                        far[c] = race.beamColourFar[2 - c] * 255;
                        along += (pixel[c] - near[c]) * (far[c] - near[c]);
                        length += (far[c] - near[c]) * (far[c] - near[c]);
                    }
                    const double t = length > 0 ? std::clamp(along / length, 0.0, 1.0) : 0;
                    double distance = 0;
                    for (int c = 0; c < 3; ++c)
                        distance = std::max(
                            distance, std::fabs(pixel[c] - (near[c] + t * (far[c] - near[c]))));
                    if (distance <= 3) {
                        ++count;
                        break;
                    }
                }
            }
    return count;
}

// The backdrop as the program draws it on a screen of width x height: the
// level it uploads for that size (the tiles halved until drawn no smaller than
// their texels), so that small stars compare with what was on screen.
void drawnBackdropLevel(EffectsFileRecord& effects, int32_t width, int32_t height) {
    for (ImageRecord& image : effects.backgrounds) {
        TextureImage size;
        size.width = image.width;
        size.height = image.height;
        for (int32_t level = backdropLevelFor(width, height, SceneShape::WindowAspect, size);
             level > 0; --level) {
            std::vector<uint8_t> half;
            halveImage(image.pixels.data(), image.width, image.height, 3, half);
            image.pixels.swap(half);
            image.width = std::max(image.width / 2, 1);
            image.height = std::max(image.height / 2, 1);
        }
    }
}

int checkPicture(const std::string& bmpPath, const std::string& effectsPath, bool expectShips,
                 const std::vector<std::string>& racePaths) {
    std::vector<uint8_t> file, effectsBytes, converted;
    if (!readFileBytes(bmpPath, file)) return fail("cannot read " + bmpPath);
    if (!readFileBytes(effectsPath, effectsBytes)) return fail("cannot read " + effectsPath);
    EffectsFileRecord effects;
    std::string reason;
    if (!parseEffectsFile(effectsBytes.data(), effectsBytes.size(), effects, &reason))
        return fail(effectsPath + ": " + reason);
    std::vector<RaceFileRecord> races(racePaths.size());
    for (size_t i = 0; i < racePaths.size(); ++i) {
        std::vector<uint8_t> bytes;
        if (!readFileBytes(racePaths[i], bytes) ||
            !parseRaceFile(bytes.data(), bytes.size(), races[i], &reason))
            return fail("cannot read the race file " + racePaths[i]);
    }
    Picture picture;
    if (!ppmAsBmpPixels(file, picture, converted) && !bmpPicture(file, picture, reason))
        return fail(bmpPath + ": " + reason);
    drawnBackdropLevel(effects, picture.width, picture.height);

    // Each tile must show its own background image, and clearly not another:
    // the images are all starry space, but no two alike.
    bool good = true;
    std::printf("tiles: difference from background images 0 to 5\n");
    for (const Tile& tile : tilesFor(picture.width, picture.height)) {
        double differences[6];
        std::printf("  slot %d:", tile.slot);
        for (int image = 0; image < 6; ++image) {
            differences[image] = tileDifference(picture, tile, effects.backgrounds[image]);
            std::printf(" %5.1f", differences[image]);
        }
        double own = differences[tile.slot];
        bool matches = own <= 3.0; // room for a 16-bit frame buffer
        for (int image = 0; image < 6; ++image)
            if (image != tile.slot) matches = matches && differences[image] >= own + 1.0;
        std::printf("%s\n", matches ? "" : "   <- not its background image");
        good = good && matches;
    }

    // Ships start at the origin, which the camera puts in the middle of the
    // screen: there the picture must depart from the background.
    long changed = 0, centre = 0;
    long sumX = 0, sumY = 0;
    for (const Tile& tile : tilesFor(picture.width, picture.height))
        for (int y = tile.top; y < tile.bottom; ++y)
            for (int x = tile.left; x < tile.right; ++x) {
                if (!inCentre(picture, x, y)) continue;
                double expected[3];
                sampleTile(effects.backgrounds[tile.slot], tile.s(x), tile.t(y), expected);
                ++centre;
                if (largestDifference(picture.at(x, y), expected) > 2 * BackgroundTolerance) {
                    ++changed;
                    sumX += x;
                    sumY += y;
                }
            }
    double share = centre ? (double)changed / centre : 0;
    std::printf("centre: %.2f%% of the pixels differ from the background", 100 * share);
    bool ships = share >= 0.005;
    if (changed) {
        double meanX = (double)sumX / changed, meanY = (double)sumY / changed;
        std::printf(", around (%.0f, %.0f)", meanX, meanY);
        ships = ships && std::fabs(meanX - picture.width / 2.0) < picture.width / 5.0 &&
                std::fabs(meanY - picture.height / 2.0) < picture.height / 5.0;
    }
    std::printf("%s\n", ships || !expectShips ? "" : "   <- no ships near the centre");
    if (!good) return fail(bmpPath + ": the background tiles are not where they belong");
    if (expectShips && !ships)
        return fail(bmpPath + ": no ships drawn near the centre of the screen");
    if (!expectShips && changed > centre / 1000)
        return fail(bmpPath + ": something is drawn over the background where no ship should be");
    if (!races.empty()) {
        const long beams = beamPixels(picture, effects, races);
        std::printf("beams: %ld pixels in the races' beam colours\n", beams);
        if (beams < 8) return fail(bmpPath + ": no beams in the races' colours");
    }
    return 0;
}

int checkHeaderOnly(const std::string& bmpPath, const char* widthText, const char* heightText) {
    std::vector<uint8_t> file;
    if (!readFileBytes(bmpPath, file)) return fail("cannot read " + bmpPath);
    std::string reason;
    if (!checkHeader(file, (uint32_t)std::atoi(widthText), (uint32_t)std::atoi(heightText), reason))
        return fail(bmpPath + ": " + reason);
    return 0;
}

// Lighting scales a plain paint's colour and translucent bubbles tint it a
// little: a pixel shows the paint when it is bright enough and points the same
// way as the paint in colour space.
struct PaintTest {
    double paint[3]; // as stored: BGR
    double length;
    bool operator()(const uint8_t* p) const {
        double dot = 0, size = 0;
        for (int c = 0; c < 3; ++c) {
            dot += p[c] * paint[c];
            size += double(p[c]) * p[c];
        }
        size = std::sqrt(size);
        return size >= 48 && dot / (size * length) >= 0.98;
    }
};

bool paintTest(const char* r, const char* g, const char* b, PaintTest& test) {
    test = {{std::atof(b), std::atof(g), std::atof(r)}, 0};
    for (double c : test.paint)
        test.length += c * c;
    test.length = std::sqrt(test.length);
    return test.length > 0;
}

// The BMP and the test for its paint colour; false once it has said why not.
// The picture's pixels lie in `file`.
bool readPainted(const std::string& bmpPath, const char* r, const char* g, const char* b,
                 std::vector<uint8_t>& file, Picture& picture, PaintTest& painted) {
    std::string reason;
    if (!readFileBytes(bmpPath, file))
        reason = "cannot read " + bmpPath;
    else if (!bmpPicture(file, picture, reason))
        reason = bmpPath + ": " + reason;
    else if (!paintTest(r, g, b, painted))
        reason = "the paint colour is black";
    if (reason.empty()) return true;
    fail(reason);
    return false;
}

int checkPaint(const std::string& bmpPath, const char* r, const char* g, const char* b) {
    std::vector<uint8_t> file;
    Picture picture;
    PaintTest painted;
    if (!readPainted(bmpPath, r, g, b, file, picture, painted)) return 1;
    long matching = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            if (painted(picture.at(x, y))) ++matching;
    std::printf("paint: %ld pixels\n", matching);
    const long needed = 100; // a few small ships at 800 x 600 show several hundred
    return matching >= needed ? 0
                              : fail(bmpPath + ": " + std::to_string(matching) +
                                     " pixels in the paint, fewer than " + std::to_string(needed));
}

// Ships whose hull is a ball in one paint: each whole ball is a round blob, so
// its bounding box is square and it fills pi/4 of it. Blobs that are not
// filled ellipses are balls overlapping or cut by something in front; they are
// left out. Every whole ball must be within 10% of round:
// perspective widens a ball off the centre a little (by 1/cos of the angle,
// a few percent near the middle), a stretched 16:9 picture by a third.
int checkRound(const std::string& bmpPath, const char* r, const char* g, const char* b) {
    std::vector<uint8_t> file;
    Picture picture;
    PaintTest painted;
    if (!readPainted(bmpPath, r, g, b, file, picture, painted)) return 1;
    const int w = picture.width, h = picture.height;
    std::vector<int> label((size_t)w * h, 0);
    std::vector<double> ratios;
    int next = 0;
    for (int y0 = 0; y0 < h; ++y0)
        for (int x0 = 0; x0 < w; ++x0) {
            if (label[(size_t)y0 * w + x0] || !painted(picture.at(x0, y0))) continue;
            // One blob, 4-connected, by a flood fill.
            ++next;
            std::vector<std::pair<int, int>> stack = {{x0, y0}};
            label[(size_t)y0 * w + x0] = next;
            long area = 0;
            double sumX = 0, sumY = 0, sumXX = 0, sumYY = 0;
            int left = x0, right = x0, top = y0, bottom = y0;
            while (!stack.empty()) {
                auto [x, y] = stack.back();
                stack.pop_back();
                ++area;
                sumX += x, sumY += y, sumXX += (double)x * x, sumYY += (double)y * y;
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
                const int around[4][2] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
                for (const auto& n : around) {
                    if (n[0] < 0 || n[0] >= w || n[1] < 0 || n[1] >= h) continue;
                    int& mark = label[(size_t)n[1] * w + n[0]];
                    if (mark || !painted(picture.at(n[0], n[1]))) continue;
                    mark = next;
                    stack.push_back({n[0], n[1]});
                }
            }
            const int bw = right - left + 1, bh = bottom - top + 1;
            const double fill = (double)area / ((double)bw * bh);
            // A filled ellipse of axes W and H has the spreads W/4 and H/4 about
            // its centre; two overlapping balls or a cut one do not.
            const double spreadX =
                std::sqrt(std::max(0.0, sumXX / area - std::pow(sumX / area, 2)));
            const double spreadY =
                std::sqrt(std::max(0.0, sumYY / area - std::pow(sumY / area, 2)));
            const bool elliptic =
                std::fabs(4 * spreadX / bw - 1) <= 0.08 && std::fabs(4 * spreadY / bh - 1) <= 0.08;
            const bool whole = bw >= 12 && bh >= 12 && fill >= 0.72 && fill <= 0.84 && elliptic &&
                               left > 0 && top > 0 && right < w - 1 && bottom < h - 1;
            if (bw >= 12 || bh >= 12)
                std::printf("blob at (%d, %d): %d x %d, fills %.2f, spreads %.2f %.2f%s\n", left,
                            top, bw, bh, fill, 4 * spreadX / bw, 4 * spreadY / bh,
                            whole ? "" : " (left out)");
            if (whole) ratios.push_back((double)bw / bh);
        }
    if (ratios.empty()) return fail(bmpPath + ": no whole ball in the paint");
    std::sort(ratios.begin(), ratios.end());
    std::printf("round: %zu whole balls, width / height from %.3f to %.3f\n", ratios.size(),
                ratios.front(), ratios.back());
    return ratios.front() >= 0.9 && ratios.back() <= 1.1
               ? 0
               : fail(bmpPath + ": balls drawn from " + std::to_string(ratios.front()) + " to " +
                      std::to_string(ratios.back()) + " times as wide as high");
}

// A BMP screenshot or a binary PPM into `picture`, whose pixels then lie in
// `file` or `converted`; false once it has said why not.
bool readPicture(const std::string& path, std::vector<uint8_t>& file,
                 std::vector<uint8_t>& converted, Picture& picture) {
    std::string reason;
    if (!readFileBytes(path, file)) {
        fail("cannot read " + path);
        return false;
    }
    if (ppmAsBmpPixels(file, picture, converted) || bmpPicture(file, picture, reason)) return true;
    fail(path + ": " + reason);
    return false;
}

// Brightness: the mean of the three channels.
double brightness(const Picture& picture, int x, int y) {
    const uint8_t* p = picture.at(x, y);
    return (p[0] + p[1] + p[2]) / 3.0;
}

// A small star: a brightest point standing clearly above the sky around it.
struct StarShape {
    double width, height; // across and down where it falls to half its rise, interpolated
    int rows;             // pixels of its column at half its rise or more
};

// The stars of the sky, measured where they stand alone. A star is a pixel
// brighter than its 8 neighbours (the first of equals) and at least 24 above
// the median of a square ring around it, whose radius follows the picture's
// height (a star grows with the screen). Stars whose peak is white (clipped)
// or that do not fall to half their rise inside the ring are left out.
std::vector<StarShape> findStars(const Picture& picture) {
    const int w = picture.width, h = picture.height;
    const int ring = std::max(5, h / 180);
    std::vector<double> value((size_t)w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            value[(size_t)y * w + x] = brightness(picture, x, y);
    auto at = [&](int x, int y) { return value[(size_t)y * w + x]; };
    std::vector<StarShape> stars;
    std::vector<double> around;
    for (int y = ring; y < h - ring; ++y)
        for (int x = ring; x < w - ring; ++x) {
            const double peak = at(x, y);
            bool highest = true;
            for (int dy = -1; dy <= 1 && highest; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    if (!dx && !dy) continue;
                    const double other = at(x + dx, y + dy);
                    // Ties go to the first in reading order.
                    if (other > peak || (other == peak && (dy < 0 || (dy == 0 && dx < 0)))) {
                        highest = false;
                        break;
                    }
                }
            if (!highest || peak >= 250) continue;
            around.clear();
            for (int d = -ring; d <= ring; ++d) {
                around.push_back(at(x + d, y - ring));
                around.push_back(at(x + d, y + ring));
                around.push_back(at(x - ring, y + d));
                around.push_back(at(x + ring, y + d));
            }
            std::nth_element(around.begin(), around.begin() + around.size() / 2, around.end());
            const double sky = around[around.size() / 2];
            if (peak - sky < 24) continue;
            const double half = sky + (peak - sky) / 2;
            // Walks out from the peak until the brightness drops below half.
            auto reach = [&](int dx, int dy, double& extent, int& whole) {
                whole = 0;
                for (int k = 1; k < ring; ++k) {
                    const double v = at(x + k * dx, y + k * dy);
                    if (v < half) {
                        const double before = at(x + (k - 1) * dx, y + (k - 1) * dy);
                        extent = k - 1 + (before - half) / (before - v);
                        return true;
                    }
                    ++whole;
                }
                return false;
            };
            double left, right, up, down;
            int l, r, u, d;
            if (!reach(-1, 0, left, l) || !reach(1, 0, right, r) || !reach(0, -1, up, u) ||
                !reach(0, 1, down, d))
                continue;
            stars.push_back({left + right, up + down, u + d + 1});
        }
    return stars;
}

// How much the rows (or columns) at `joins` differ from their neighbours,
// against the ordinary rows near them: for a row y the mean over the width of
// the brightness change from row y - 1 to y, its join score the largest of
// that change at the join (either side of it) over the median change of the
// 40 rows around it.
double joinScore(const Picture& picture, const std::vector<int>& joins, bool rows) {
    const int length = rows ? picture.height : picture.width;
    const int across = rows ? picture.width : picture.height;
    auto change = [&](int k) {
        double sum = 0;
        for (int i = 0; i < across; ++i)
            sum += rows ? std::fabs(brightness(picture, i, k) - brightness(picture, i, k - 1))
                        : std::fabs(brightness(picture, k, i) - brightness(picture, k - 1, i));
        return sum / across;
    };
    double worst = 0;
    for (int join : joins) {
        if (join < 22 || join > length - 22) continue;
        std::vector<double> ordinary;
        for (int k = join - 20; k <= join + 20; ++k)
            if (std::abs(k - join) > 1) ordinary.push_back(change(k));
        std::nth_element(ordinary.begin(), ordinary.begin() + ordinary.size() / 2, ordinary.end());
        const double typical = std::max(ordinary[ordinary.size() / 2], 0.05);
        for (int k = join - 1; k <= join + 1; ++k)
            worst = std::max(worst, change(k) / typical);
    }
    return worst;
}

int checkSky(const std::string& path, double maxStarHeight, long minStars) {
    std::vector<uint8_t> file, converted;
    Picture picture;
    if (!readPicture(path, file, converted, picture)) return 1;
    const std::vector<StarShape> stars = findStars(picture);
    if (stars.size() < 10) return fail(path + ": fewer than 10 stars to measure");
    double widths = 0, heights = 0;
    std::vector<int> rows;
    for (const StarShape& star : stars) {
        widths += star.width;
        heights += star.height;
        rows.push_back(star.rows);
    }
    std::nth_element(rows.begin(), rows.begin() + rows.size() / 2, rows.end());
    const double ratio = widths / heights;
    const int height = rows[rows.size() / 2];
    // The joins of the tiles as laid out for this window, and as they lay when
    // the six tiles were stretched over any window.
    std::vector<int> joinRows, joinColumns;
    for (SceneShape shape : {SceneShape::WindowAspect, SceneShape::FourByThree})
        for (const Tile& tile : tilesFor(picture.width, picture.height, shape)) {
            if (tile.xa > 0.5) joinColumns.push_back((int)std::lround(tile.xa));
            if (tile.ya > 0.5) joinRows.push_back((int)std::lround(tile.ya));
        }
    const double rowScore = joinScore(picture, joinRows, true);
    const double columnScore = joinScore(picture, joinColumns, false);
    std::printf("sky %dx%d: %zu stars, width / height %.2f, height at half brightness %d px;"
                " joins against ordinary rows %.1f, columns %.1f\n",
                picture.width, picture.height, stars.size(), ratio, height, rowScore, columnScore);
    if (ratio < 0.9 || ratio > 1.1)
        return fail(path + ": the stars are " + std::to_string(ratio) + " times as wide as high");
    // An ordinary row changes by up to about twice the median near it.
    if (rowScore > 2.0 || columnScore > 2.0)
        return fail(path + ": a join between tiles stands out from the sky around it");
    if (maxStarHeight > 0 && height > maxStarHeight)
        return fail(path + ": the stars are " + std::to_string(height) + " pixels high");
    if (minStars > 0 && (long)stars.size() < minStars)
        return fail(path + ": " + std::to_string(stars.size()) + " stars, fewer than " +
                    std::to_string(minStars));
    return 0;
}

// Beams of one pure colour: every pixel within 40 of it in each channel is a
// beam pixel; a line 1 pixel wide gives each about 2 beam neighbours of 8.
int checkBeams(const std::string& path, const char* r, const char* g, const char* b,
               const std::string& weight) {
    std::vector<uint8_t> file, converted;
    Picture picture;
    if (!readPicture(path, file, converted, picture)) return 1;
    const int colour[3] = {std::atoi(b), std::atoi(g), std::atoi(r)}; // as stored: BGR
    const int w = picture.width, h = picture.height;
    std::vector<uint8_t> beam((size_t)w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = picture.at(x, y);
            bool near = true;
            for (int c = 0; c < 3; ++c)
                near = near && std::abs(p[c] - colour[c]) <= 40;
            beam[(size_t)y * w + x] = near;
        }
    long pixels = 0, neighbours = 0;
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x) {
            if (!beam[(size_t)y * w + x]) continue;
            ++pixels;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (dx || dy) neighbours += beam[(size_t)(y + dy) * w + x + dx];
        }
    const double mean = pixels ? (double)neighbours / pixels : 0;
    std::printf("beams %dx%d: %ld pixels, %.2f beam neighbours of 8 on average\n", w, h, pixels,
                mean);
    if (pixels < 20) return fail(path + ": no beams in that colour");
    if (weight == "thick" && mean < 3.5)
        return fail(path + ": the beams are thin threads, not wide lines");
    if (weight == "thin" && mean > 3.0) return fail(path + ": the beams are wider than 1 pixel");
    return 0;
}

int listRaces(std::string directory) {
    if (directory.empty() || directory.back() != '/') directory += '/';
    RaceCatalogue catalogue = scanRaceCatalogue(directory);
    std::vector<std::string> lines;
    for (int i = 0; i < catalogue.count; ++i)
        lines.push_back(std::string(catalogue.entries[i].raceName) + "\t" +
                        catalogue.entries[i].description);
    std::sort(lines.begin(), lines.end());
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    return catalogue.count ? 0 : fail("no race files in " + directory);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "races") return listRaces(args[1]);
    if (args.size() == 4 && args[0] == "header") return checkHeaderOnly(args[1], argv[3], argv[4]);
    if (args.size() >= 3 && args[0] == "picture")
        return checkPicture(args[1], args[2], true,
                            std::vector<std::string>(args.begin() + 3, args.end()));
    if (args.size() == 3 && args[0] == "background")
        return checkPicture(args[1], args[2], false, {});
    if (args.size() == 5 && args[0] == "paint")
        return checkPaint(args[1], argv[3], argv[4], argv[5]);
    if (args.size() == 5 && args[0] == "round")
        return checkRound(args[1], argv[3], argv[4], argv[5]);
    if (args.size() >= 2 && args[0] == "sky") {
        double maxStarHeight = 0;
        long minStars = 0;
        for (size_t i = 2; i + 1 < args.size(); i += 2) {
            if (args[i] == "--max-star-height") maxStarHeight = std::atof(args[i + 1].c_str());
            if (args[i] == "--min-stars") minStars = std::atol(args[i + 1].c_str());
        }
        return checkSky(args[1], maxStarHeight, minStars);
    }
    if (args.size() == 6 && args[0] == "beams" && (args[5] == "thick" || args[5] == "thin"))
        return checkBeams(args[1], argv[3], argv[4], argv[5], args[5]);
    std::fputs("usage: kestrion-e2e-inspect races DIR | header BMP WIDTH HEIGHT |"
               " picture BMP|PPM EXPLOSION_AS [RACE.ast...] | background BMP EXPLOSION_AS |"
               " paint BMP R G B | round BMP R G B |"
               " sky PICTURE [--max-star-height N] [--min-stars N] |"
               " beams PICTURE R G B thick|thin\n",
               stderr);
    return 2;
}
