// "Explosion.as": the explosion animation, the effect meshes and the single
// effect images (the backdrop is painted in backdrop.cpp).
#include "tools/forge/forge.h"
#include "tools/forge/geometry.h"
#include "tools/forge/noise.h"
#include "tools/forge/painters.h"

#include <cmath>
#include <vector>

namespace {
constexpr int FrameCount = 50;
// Beam impacts cycle frames 10..30, so those 21 frames form a loop: the
// churning noise repeats after them and the fireball's size and heat pulse
// with the same period.
constexpr int LoopFirst = 10;
constexpr int LoopLength = 21;
constexpr int NoisePeriod = 3;

float soft(float d, float radius) {
    float q = d / radius;
    return 1.0f / (1.0f + q * q * q * q);
}

// Fire colours from cold (0) to white hot (1).
Colour fireColour(float t) {
    static const Colour ramp[] = {{0.22f, 0.04f, 0.02f},
                                  {0.70f, 0.12f, 0.03f},
                                  {1.00f, 0.45f, 0.08f},
                                  {1.00f, 0.80f, 0.35f},
                                  {1.00f, 1.00f, 0.88f}};
    t = clamp01(t) * 4.0f;
    int i = static_cast<int>(t);
    if (i >= 4) return ramp[4];
    return mixColour(ramp[i], ramp[i + 1], t - static_cast<float>(i));
}

struct Envelope {
    float radius;  // of the fireball, in picture widths
    float heat;    // 0..1
    float opacity; // 0..1
    float breakup; // 0: solid, 1: only scattered embers
};

Envelope envelopeOf(int frame) {
    float pulse = static_cast<float>(turnSin(static_cast<double>(frame - LoopFirst) / LoopLength));
    const float loopRadius = 0.3f, loopHeat = 0.62f;
    if (frame < LoopFirst) {
        float t = static_cast<float>(frame + 1) / static_cast<float>(LoopFirst + 1);
        float ease = 1.0f - (1.0f - t) * (1.0f - t);
        return {0.06f + (loopRadius - 0.06f) * ease, mix(1.0f, loopHeat, ease), 1.0f, 0.0f};
    }
    if (frame < LoopFirst + LoopLength) {
        return {loopRadius + 0.015f * pulse, loopHeat + 0.05f * pulse, 1.0f, 0.0f};
    }
    float t = static_cast<float>(frame - (LoopFirst + LoopLength) + 1) /
              static_cast<float>(FrameCount - (LoopFirst + LoopLength));
    return {loopRadius + 0.1f * t, loopHeat * (1.0f - 0.85f * t), 1.0f - 0.9f * t * t,
            smoothstep(0.0f, 0.8f, t)};
}
} // namespace

Canvas paintExplosionFrame(int size, int frame) {
    Canvas canvas = makeCanvas(size, size, fireColour(0.0f), 0.0f);
    Envelope e = envelopeOf(frame);
    float fs = static_cast<float>(size);
    float time = static_cast<float>(frame - LoopFirst) * NoisePeriod / LoopLength;
    // Sparks stream outwards with the loop's period and die out in the last frames.
    float sparkFade = frame < 3 ? 0.0f : 1.0f - smoothstep(34.0f, 46.0f, static_cast<float>(frame));
    float soot = 0.7f * smoothstep(30.5f, 42.0f, static_cast<float>(frame));
    float flash = frame < 6 ? 1.0f - static_cast<float>(frame) / 6.0f : 0.0f;
    struct Spark {
        float x, y, strength;
    };
    std::vector<Spark> sparks;
    for (int i = 0; sparkFade > 0.0f && i < 14; ++i) {
        uint32_t h = hashU32(0x5EED0u + static_cast<uint32_t>(i));
        double around = hashUnit(h);
        float phase = static_cast<float>(frame - LoopFirst) / LoopLength + hashUnit(hashU32(h));
        phase -= std::floor(phase);
        float reach = (0.12f + 0.3f * phase) * (0.7f + 0.3f * hashUnit(h ^ 0xABCu));
        sparks.push_back({reach * static_cast<float>(turnCos(around)),
                          reach * static_cast<float>(turnSin(around)), sparkFade * (1.0f - phase)});
    }
    forEachPixel(canvas, [&](int x, int y) {
        float px = centred(x, fs);
        float py = centred(y, fs);
        float r = std::sqrt(px * px + py * py);
        if (r >= 0.5f) return; // the corners stay clear
        float n = fbm3(px * 7.0f, py * 7.0f, time, 301u, 4, NoisePeriod);
        float inner = fbm3(px * 11.0f + 3.1f, py * 11.0f, time, 302u, 3, NoisePeriod);
        float d = r / e.radius - 0.55f * n;
        float density = 1.0f - smoothstep(0.55f, 1.0f, d);
        if (e.breakup > 0.0f) {
            float keep =
                smoothstep(e.breakup * 0.7f, e.breakup * 0.7f + 0.25f, 0.5f + 0.8f * inner);
            density *= mix(1.0f, keep, e.breakup);
        }
        float temperature = e.heat * (1.25f - 0.8f * r / e.radius) + 0.35f * inner;
        // A soft glow around the ball.
        float halo = 0.45f * e.heat * soft(r, e.radius * 1.3f);
        float alpha = (density > halo ? density : halo) * e.opacity;
        Colour c = fireColour(density > halo ? temperature : 0.45f * e.heat + 0.2f);
        // Soot darkens the cooling ball after the loop.
        c = mixColour(c, {0.10f, 0.07f, 0.06f}, soot * (1.0f - smoothstep(-0.35f, 0.05f, inner)));

        if (flash > 0.0f) {
            float core = flash * (soft(r, 0.05f + 0.12f * (1.0f - flash)) +
                                  0.6f * soft(px < 0 ? -px : px, 0.01f) * soft(r, 0.3f) +
                                  0.6f * soft(py < 0 ? -py : py, 0.01f) * soft(r, 0.3f));
            c = mixColour(c, {1.0f, 1.0f, 0.95f}, clamp01(core));
            alpha = alpha > core ? alpha : clamp01(core);
        }
        for (const Spark& spark : sparks) {
            float ds = std::sqrt((px - spark.x) * (px - spark.x) + (py - spark.y) * (py - spark.y));
            float v = spark.strength * soft(ds, 0.012f);
            if (v > 0.01f) {
                c = mixColour(c, fireColour(0.8f), clamp01(v * 1.5f));
                alpha = alpha > v ? alpha : v;
            }
        }
        alpha *= 1.0f - smoothstep(0.44f, 0.5f, r);
        setPixel(canvas, x, y, c, clamp01(alpha));
    });
    return canvas;
}

Canvas paintShieldPattern(int size) {
    Canvas canvas = makeCanvas(size, size, {1, 1, 1}, 0.0f);
    const int cells = 8;
    float fs = static_cast<float>(size);
    forEachPixel(canvas, [&](int x, int y) {
        float fx = cellCoordinate(x, cells, fs);
        float fy = cellCoordinate(y, cells, fs);
        CellDistance cell = cellNoise(fx, fy, 611u, cells);
        float edge = 1.0f - smoothstep(0.0f, 0.12f, cell.second - cell.nearest);
        float swirl = 0.5f + 0.5f * fbm2(fx * 0.5f, fy * 0.5f, 612u, 4, cells / 2);
        float alpha = 0.45f + 0.35f * swirl + 0.5f * edge;
        float white = 0.75f + 0.25f * edge;
        setPixel(canvas, x, y, {white, white, white}, clamp01(alpha));
    });
    return canvas;
}

Canvas paintBlastRing(int size) {
    Canvas canvas = makeCanvas(size, size, {1, 1, 1}, 0.0f);
    float fs = static_cast<float>(size);
    forEachPixel(canvas, [&](int x, int y) {
        float px = centred(x, fs);
        float py = centred(y, fs);
        float r = std::sqrt(px * px + py * py);
        float ux = r > 0.0f ? px / r : 1.0f, uy = r > 0.0f ? py / r : 0.0f;
        // Streaks: noise sampled on the circle of directions.
        float streak = 0.5f + 0.5f * fbm2(ux * 4.0f + 10.0f, uy * 4.0f + 10.0f, 701u, 4);
        float ringAt = 0.40f + 0.03f * streak;
        float ring = soft(r > ringAt ? r - ringAt : ringAt - r, 0.03f);
        float fill = 0.3f * smoothstep(0.1f, ringAt, r) * (0.5f + streak);
        float alpha = clamp01(ring + fill) * (1.0f - smoothstep(0.44f, 0.49f, r));
        float hot = clamp01(ring * 1.2f);
        setPixel(canvas, x, y, {1.0f, 0.75f + 0.25f * hot, 0.45f + 0.55f * hot}, alpha);
    });
    return canvas;
}

Canvas paintSpark(int size) {
    Canvas canvas = makeCanvas(size, size, {1.0f, 0.9f, 0.6f}, 0.0f);
    float fs = static_cast<float>(size);
    forEachPixel(canvas, [&](int x, int y) {
        float px = centred(x, fs);
        float py = centred(y, fs);
        float r = std::sqrt(px * px + py * py);
        pixelAt(canvas, x, y)[3] = soft(r, 0.12f) * (1.0f - smoothstep(0.4f, 0.5f, r));
    });
    return canvas;
}

Canvas paintScorch(int size) {
    // Multiplied over the hull: white leaves it alone, dark burns it.
    Canvas canvas = makeCanvas(size, size, {1, 1, 1}, 0.0f);
    const int period = 4;
    float fs = static_cast<float>(size);
    forEachPixel(canvas, [&](int x, int y) {
        float fx = cellCoordinate(x, period, fs);
        float fy = cellCoordinate(y, period, fs);
        float burn = fbm2(fx, fy, 801u, 5, period);
        CellDistance crack = cellNoise(fx * 2.0f, fy * 2.0f, 802u, 2 * period);
        float soot = smoothstep(-0.05f, 0.3f, burn);
        float hole = smoothstep(0.3f, 0.42f, burn);
        float cracks = soot * (1.0f - smoothstep(0.0f, 0.06f, crack.second - crack.nearest));
        Colour c = mixColour({1, 1, 1}, {0.32f, 0.26f, 0.22f}, soot);
        c = mixColour(c, {0.04f, 0.03f, 0.03f}, clamp01(hole + 0.7f * cracks));
        // Glowing rims around the holes, as far as a multiply can show them.
        float rim = hole * (1.0f - hole) * 4.0f;
        c = mixColour(c, {1.0f, 0.45f, 0.12f}, 0.5f * rim);
        setPixel(canvas, x, y, c, clamp01(soot + hole));
    });
    return canvas;
}

Canvas paintSmoke(int size) {
    Canvas canvas = makeCanvas(size, size, {0.9f, 0.9f, 0.9f}, 0.0f);
    float fs = static_cast<float>(size);
    forEachPixel(canvas, [&](int x, int y) {
        float px = centred(x, fs);
        float py = centred(y, fs);
        float r = std::sqrt(px * px + py * py);
        float n = fbm2(px * 6.0f + 20.0f, py * 6.0f + 20.0f, 901u, 4);
        float body = 1.0f - smoothstep(0.12f, 0.46f, r - 0.08f * n);
        float grey = 0.9f + 0.1f * n;
        setPixel(canvas, x, y, {grey, grey, grey * 1.02f},
                 clamp01(body * (0.75f + 0.35f * n)) * (1.0f - smoothstep(0.44f, 0.5f, r)));
    });
    return canvas;
}

namespace {
// A square of two triangles in the x-y plane facing +z, one unit across;
// the first row of its picture at the top (+y).
MeshRecord spriteQuad() {
    MeshRecord m;
    m.positions = {{-0.5f, 0.5f, 0}, {-0.5f, -0.5f, 0}, {0.5f, -0.5f, 0}, {0.5f, 0.5f, 0}};
    m.texCoords = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    m.triangles = {{0, 1, 2}, {0, 2, 3}};
    return m;
}

// The blast: a flat disc in the x-y plane facing +z; the ring is in its picture.
MeshRecord blastDisc() {
    const int segments = 24;
    const float radius = 0.6f;
    MeshRecord m;
    m.positions.push_back({0, 0, 0});
    m.texCoords.push_back({0.5f, 0.5f});
    for (int k = 0; k < segments; ++k) {
        double t = static_cast<double>(k) / segments;
        float cx = static_cast<float>(turnCos(t)), cy = static_cast<float>(turnSin(t));
        m.positions.push_back({radius * cx, radius * cy, 0});
        m.texCoords.push_back({0.5f + 0.5f * cx, 0.5f - 0.5f * cy});
    }
    for (int k = 0; k < segments; ++k)
        m.triangles.push_back({0, 1 + k, 1 + (k + 1) % segments});
    return m;
}

// Kept in the file for completeness; nothing draws it.
MeshRecord spareOctahedron() {
    MeshRecord m;
    const float r = 0.3f;
    m.positions = {{r, 0, 0}, {-r, 0, 0}, {0, r, 0}, {0, -r, 0}, {0, 0, r}, {0, 0, -r}};
    m.texCoords = {{1, 0.5f}, {0, 0.5f}, {0.5f, 1}, {0.5f, 0}, {0.5f, 0.5f}, {0.5f, 0.5f}};
    m.triangles = {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4},
                   {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}};
    return m;
}
} // namespace

EffectsFileRecord buildDefaultEffects() {
    EffectsFileRecord effects;
    effects.headValue = 1;
    for (int k = 0; k < FrameCount; ++k)
        effects.frames.push_back(toBgra(paintExplosionFrame(128, k)));
    for (int slot = 0; slot < 6; ++slot)
        effects.backgrounds[static_cast<size_t>(slot)] = toBgr(paintBackdropTile(slot), true);
    effects.sprite = spriteQuad();
    effects.blast = blastDisc();
    effects.spare = spareOctahedron();
    effects.shield = toBgra(paintShieldPattern(128));
    effects.blastImage = toBgra(paintBlastRing(128));
    effects.spareImage = toBgra(paintSpark(32));
    effects.damage = toBgra(paintScorch(128));
    effects.smoke = toBgra(paintSmoke(64));
    return effects;
}
