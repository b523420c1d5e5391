#include "tools/forge/canvas.h"

#include "tools/forge/noise.h"

Colour operator*(Colour c, float k) {
    return {c.r * k, c.g * k, c.b * k};
}
Colour operator+(Colour a, Colour b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
Colour operator*(Colour a, Colour b) {
    return {a.r * b.r, a.g * b.g, a.b * b.b};
}

Colour mixColour(Colour a, Colour b, float t) {
    return {mix(a.r, b.r, t), mix(a.g, b.g, t), mix(a.b, b.b, t)};
}

Canvas makeCanvas(int width, int height, Colour colour, float alpha) {
    Canvas canvas;
    canvas.width = width;
    canvas.height = height;
    canvas.rgba.resize(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < canvas.rgba.size(); i += 4) {
        canvas.rgba[i] = colour.r;
        canvas.rgba[i + 1] = colour.g;
        canvas.rgba[i + 2] = colour.b;
        canvas.rgba[i + 3] = alpha;
    }
    return canvas;
}

float* pixelAt(Canvas& canvas, int x, int y) {
    return &canvas.rgba[(static_cast<size_t>(y) * canvas.width + x) * 4];
}

void setPixel(Canvas& canvas, int x, int y, Colour colour) {
    float* p = pixelAt(canvas, x, y);
    p[0] = colour.r;
    p[1] = colour.g;
    p[2] = colour.b;
}

void setPixel(Canvas& canvas, int x, int y, Colour colour, float alpha) {
    setPixel(canvas, x, y, colour);
    pixelAt(canvas, x, y)[3] = alpha;
}

const float* pixelAt(const Canvas& canvas, int x, int y) {
    return &canvas.rgba[(static_cast<size_t>(y) * canvas.width + x) * 4];
}

float* wrappedPixel(Canvas& canvas, int x, int y) {
    x %= canvas.width;
    y %= canvas.height;
    if (x < 0) x += canvas.width;
    if (y < 0) y += canvas.height;
    return pixelAt(canvas, x, y);
}

void blendPixel(float* pixel, Colour colour, float amount) {
    amount = clamp01(amount);
    pixel[0] = mix(pixel[0], colour.r, amount);
    pixel[1] = mix(pixel[1], colour.g, amount);
    pixel[2] = mix(pixel[2], colour.b, amount);
}

namespace {
uint8_t toByte(float value, float offset) {
    float v = clamp01(value) * 255.0f + offset;
    if (v < 0.0f) v = 0.0f;
    if (v > 255.0f) v = 255.0f;
    return static_cast<uint8_t>(v);
}
} // namespace

ImageRecord toBgr(const Canvas& canvas, bool dither) {
    ImageRecord image;
    image.width = canvas.width;
    image.height = canvas.height;
    image.pixels.resize(static_cast<size_t>(canvas.width) * canvas.height * 3);
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            const float* p = pixelAt(canvas, x, y);
            float offset = dither ? 0.1f + 0.8f * hashUnit(hash2(x, y, 77u)) : 0.5f;
            uint8_t* out = &image.pixels[(static_cast<size_t>(y) * canvas.width + x) * 3];
            out[0] = toByte(p[2], offset);
            out[1] = toByte(p[1], offset);
            out[2] = toByte(p[0], offset);
        }
    }
    return image;
}

ImageRecord toBgra(const Canvas& canvas) {
    ImageRecord image;
    image.width = canvas.width;
    image.height = canvas.height;
    image.pixels.resize(static_cast<size_t>(canvas.width) * canvas.height * 4);
    for (size_t i = 0, n = static_cast<size_t>(canvas.width) * canvas.height; i < n; ++i) {
        const float* p = &canvas.rgba[i * 4];
        uint8_t* out = &image.pixels[i * 4];
        out[0] = toByte(p[2], 0.5f);
        out[1] = toByte(p[1], 0.5f);
        out[2] = toByte(p[0], 0.5f);
        out[3] = toByte(p[3], 0.5f);
    }
    return image;
}

bool isPowerOfTwo(int value) {
    return value > 0 && (value & (value - 1)) == 0;
}
