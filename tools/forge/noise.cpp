#include "tools/forge/noise.h"

#include <cmath>

uint32_t hashU32(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

uint32_t hash2(int32_t x, int32_t y, uint32_t seed) {
    return hashU32(static_cast<uint32_t>(x) * 0x9E3779B1u ^
                   hashU32(static_cast<uint32_t>(y) + seed * 0x85EBCA77u));
}

float hashUnit(uint32_t h) {
    return static_cast<float>(h >> 8) * (1.0f / 16777216.0f);
}

Rng makeRng(uint32_t seed) {
    return Rng{0x243F6A8885A308D3ull ^ (uint64_t(seed) << 17 | seed)};
}

uint32_t nextU32(Rng& rng) {
    uint64_t z = (rng.state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}

float nextUnit(Rng& rng) {
    return hashUnit(nextU32(rng));
}

float nextRange(Rng& rng, float lo, float hi) {
    return lo + (hi - lo) * nextUnit(rng);
}

int nextInt(Rng& rng, int n) {
    return static_cast<int>(nextU32(rng) % static_cast<uint32_t>(n));
}

namespace {
constexpr double Pi = 3.14159265358979323846;

// sin(x) for |x| <= pi/2, Taylor series to x^17 (error far below float precision).
double sinSeries(double x) {
    double x2 = x * x;
    double term = x;
    double sum = x;
    for (int k = 1; k <= 8; ++k) {
        term *= -x2 / static_cast<double>((2 * k) * (2 * k + 1));
        sum += term;
    }
    return sum;
}
} // namespace

double turnSin(double turns) {
    double t = turns - std::floor(turns + 0.5); // -0.5..0.5
    double x = t * 2.0 * Pi;
    if (x > Pi / 2) x = Pi - x;
    if (x < -Pi / 2) x = -Pi - x;
    return sinSeries(x);
}

double turnCos(double turns) {
    return turnSin(turns + 0.25);
}

namespace {
int wrapCell(int i, int period) {
    if (period <= 0) return i;
    int m = i % period;
    return m < 0 ? m + period : m;
}

float fade(float t) {
    return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f);
}

float grad2(uint32_t h, float x, float y) {
    // Eight directions around the circle.
    static const float gx[8] = {1.0f, -1.0f, 0.0f, 0.0f, 0.7071f, -0.7071f, 0.7071f, -0.7071f};
    static const float gy[8] = {0.0f, 0.0f, 1.0f, -1.0f, 0.7071f, 0.7071f, -0.7071f, -0.7071f};
    int k = static_cast<int>(h >> 29);
    return gx[k] * x + gy[k] * y;
}

float grad3(uint32_t h, float x, float y, float z) {
    // The twelve cube edge directions (four repeated to make sixteen).
    switch (h >> 28) {
    case 0:
        return x + y;
    case 1:
        return -x + y;
    case 2:
        return x - y;
    case 3:
        return -x - y;
    case 4:
        return x + z;
    case 5:
        return -x + z;
    case 6:
        return x - z;
    case 7:
        return -x - z;
    case 8:
        return y + z;
    case 9:
        return -y + z;
    case 10:
        return y - z;
    case 11:
        return -y - z;
    case 12:
        return x + y;
    case 13:
        return -y + z;
    case 14:
        return -x + y;
    default:
        return -y - z;
    }
}
} // namespace

float noise2(float x, float y, uint32_t seed, int periodX, int periodY) {
    float fx = std::floor(x), fy = std::floor(y);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    float dx = x - fx, dy = y - fy;
    int x0 = wrapCell(ix, periodX), x1 = wrapCell(ix + 1, periodX);
    int y0 = wrapCell(iy, periodY), y1 = wrapCell(iy + 1, periodY);
    float n00 = grad2(hash2(x0, y0, seed), dx, dy);
    float n10 = grad2(hash2(x1, y0, seed), dx - 1.0f, dy);
    float n01 = grad2(hash2(x0, y1, seed), dx, dy - 1.0f);
    float n11 = grad2(hash2(x1, y1, seed), dx - 1.0f, dy - 1.0f);
    float u = fade(dx), v = fade(dy);
    return 1.4f * mix(mix(n00, n10, u), mix(n01, n11, u), v);
}

float noise3(float x, float y, float z, uint32_t seed, int periodZ) {
    float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy), iz = static_cast<int>(fz);
    float dx = x - fx, dy = y - fy, dz = z - fz;
    // One hash per z layer, then two per corner.
    uint32_t layer0 = hashU32(static_cast<uint32_t>(wrapCell(iz, periodZ)) ^ (seed * 0xC2B2AE3Du));
    uint32_t layer1 =
        hashU32(static_cast<uint32_t>(wrapCell(iz + 1, periodZ)) ^ (seed * 0xC2B2AE3Du));
    auto corner = [&](int cx, int cy, uint32_t layer, float oz) {
        return grad3(hash2(ix + cx, iy + cy, layer), dx - static_cast<float>(cx),
                     dy - static_cast<float>(cy), dz - oz);
    };
    float u = fade(dx), v = fade(dy), w = fade(dz);
    float a = mix(mix(corner(0, 0, layer0, 0), corner(1, 0, layer0, 0), u),
                  mix(corner(0, 1, layer0, 0), corner(1, 1, layer0, 0), u), v);
    float b = mix(mix(corner(0, 0, layer1, 1), corner(1, 0, layer1, 1), u),
                  mix(corner(0, 1, layer1, 1), corner(1, 1, layer1, 1), u), v);
    return 0.9f * mix(a, b, w);
}

float fbm2(float x, float y, uint32_t seed, int octaves, int period) {
    float sum = 0.0f, amp = 0.5f, norm = 0.0f;
    for (int k = 0; k < octaves; ++k) {
        int p = period > 0 ? period << k : 0;
        sum += amp * noise2(x, y, seed + 1013u * static_cast<uint32_t>(k), p, p);
        norm += amp;
        x *= 2.0f;
        y *= 2.0f;
        amp *= 0.5f;
    }
    return sum / norm;
}

float fbm3(float x, float y, float z, uint32_t seed, int octaves, int periodZ) {
    float sum = 0.0f, amp = 0.5f, norm = 0.0f;
    for (int k = 0; k < octaves; ++k) {
        int p = periodZ > 0 ? periodZ << k : 0;
        sum += amp * noise3(x, y, z, seed + 7919u * static_cast<uint32_t>(k), p);
        norm += amp;
        x *= 2.0f;
        y *= 2.0f;
        z *= 2.0f;
        amp *= 0.5f;
    }
    return sum / norm;
}

CellDistance cellNoise(float x, float y, uint32_t seed, int period) {
    float fx = std::floor(x), fy = std::floor(y);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    CellDistance best{1e9f, 1e9f, 0};
    for (int j = -1; j <= 1; ++j) {
        for (int i = -1; i <= 1; ++i) {
            uint32_t h = hash2(wrapCell(ix + i, period), wrapCell(iy + j, period), seed);
            float px = static_cast<float>(ix + i) + 0.15f + 0.7f * hashUnit(h);
            float py = static_cast<float>(iy + j) + 0.15f + 0.7f * hashUnit(hashU32(h));
            float d = std::sqrt((px - x) * (px - x) + (py - y) * (py - y));
            if (d < best.nearest) {
                best.second = best.nearest;
                best.nearest = d;
                best.id = h;
            } else if (d < best.second) {
                best.second = d;
            }
        }
    }
    return best;
}

float clamp01(float x) {
    return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x);
}

float mix(float a, float b, float t) {
    return a + (b - a) * t;
}

float smoothstep(float edge0, float edge1, float x) {
    float t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}
