// A float RGBA picture that the painters work on, and its conversion to the
// BGR and BGRA image blocks of the data files.
#pragma once
#include "data/formats.h"

#include <vector>

struct Colour {
    float r, g, b;
};

Colour operator*(Colour c, float k);
Colour operator+(Colour a, Colour b);
Colour operator*(Colour a, Colour b);
Colour mixColour(Colour a, Colour b, float t);

struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<float> rgba; // 4 floats per pixel, row 0 first
};

Canvas makeCanvas(int width, int height, Colour colour, float alpha = 1.0f);
float* pixelAt(Canvas& canvas, int x, int y);
const float* pixelAt(const Canvas& canvas, int x, int y);
// Pixel with wrapped coordinates (for pictures that tile).
float* wrappedPixel(Canvas& canvas, int x, int y);

// Writes the pixel's colour (keeping its alpha), or its colour and alpha.
void setPixel(Canvas& canvas, int x, int y, Colour colour);
void setPixel(Canvas& canvas, int x, int y, Colour colour, float alpha);

// Calls paint(x, y) for every pixel, row by row from row 0.
template <class Paint> void forEachPixel(const Canvas& canvas, Paint paint) {
    for (int y = 0; y < canvas.height; ++y)
        for (int x = 0; x < canvas.width; ++x)
            paint(x, y);
}

// The centre of pixel i in a tiling noise's units: `cells` across `size` pixels.
inline float cellCoordinate(int i, int cells, float size) {
    return (static_cast<float>(i) + 0.5f) * cells / size;
}

// The centre of pixel i on an axis `size` pixels long, from -0.5 to 0.5.
inline float centred(int i, float size) {
    return (static_cast<float>(i) + 0.5f) / size - 0.5f;
}

// Lays `colour` over the pixel with coverage `amount` (0..1).
void blendPixel(float* pixel, Colour colour, float amount);

// Rounds to bytes. `dither` adds a fixed pattern of under one step to hide banding.
ImageRecord toBgr(const Canvas& canvas, bool dither = false);
ImageRecord toBgra(const Canvas& canvas);

bool isPowerOfTwo(int value);
