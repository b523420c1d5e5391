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

// Lays `colour` over the pixel with coverage `amount` (0..1).
void blendPixel(float* pixel, Colour colour, float amount);

// Rounds to bytes. `dither` adds a fixed pattern of under one step to hide banding.
ImageRecord toBgr(const Canvas& canvas, bool dither = false);
ImageRecord toBgra(const Canvas& canvas);

bool isPowerOfTwo(int value);
