// The procedural painters behind every image of the data set.
#pragma once
#include "tools/forge/canvas.h"

#include <cstdint>

// Hull plating of a race.
enum class PlatingStyle {
    Plates,   // riveted plates with vents and stripes
    Hazard,   // heavy plates, hazard stripes, weld seams
    Chitin,   // organic shell cells with glowing veins
    Filigree, // polished plates with engraved rings
    Circuit,  // dark plates traced with glowing lines
};

struct PlatingPaint {
    PlatingStyle style;
    Colour base;    // most of the surface
    Colour dark;    // seams, grime and recesses
    Colour marking; // stripes, veins and traces
    uint32_t seed;
};

// Tiles seamlessly in both directions.
Canvas paintPlating(int size, const PlatingPaint& paint);
// Upper half: ribbed metal for the sides of an engine, in bands along v;
// lower half: the glowing nozzle, a disc centred on (0.5, 0.75) of radius 0.25.
Canvas paintEngine(int size, Colour metal, Colour glow, uint32_t seed);
// Cockpit and bridge glass: dark panes with lit windows.
Canvas paintCanopy(int size, Colour glass, Colour lights, uint32_t seed);

enum class MissileShape { Flare, Plasma, Spore, Halo, Blade };
// A glowing missile with alpha, centred, its glow fading out before the edges.
Canvas paintMissile(int size, MissileShape shape, Colour core, Colour halo);

// Effects.
Canvas paintExplosionFrame(int size, int frame);
Canvas paintShieldPattern(int size);
Canvas paintBlastRing(int size);
Canvas paintSpark(int size);
Canvas paintScorch(int size);
Canvas paintSmoke(int size);

// The six background pictures, slot 0..5, of one seamless panorama: slots 3,
// 4, 5 make its top row and 0, 1, 2 its bottom row; the first row of each
// picture is the top edge of its tile. 1024 texels a side keep the small stars
// points on a 2160-line screen; the program's mipmaps keep them at 600 lines.
constexpr int BackdropTileSize = 1024;
Canvas paintBackdropTile(int slot);
// The panorama is 4 x 3 units (the screen's shape, y downwards). The whole of
// it at any size, and a part of it with square pixels starting at (left, top).
constexpr float BackdropWidthUnits = 4.0f;
constexpr float BackdropHeightUnits = 3.0f;
Canvas paintBackdropPanorama(int width, int height);
Canvas paintBackdropRegion(int width, int height, float left, float top, float unitsWide);
// The brightest star of the backdrop with cross spikes (`glint`), or without,
// alone on black at `pixelsPerUnit` pixels a panorama unit: the canvas is
// exactly the square of pixels the star is painted in.
Canvas paintBackdropStar(bool glint, float pixelsPerUnit);
