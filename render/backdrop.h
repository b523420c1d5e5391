// Where the six background tiles go in a window, and which part of their
// images they show.
#pragma once
#include "data/mesh.h"
#include "data/scene.h"

#include <cstdint>

// One tile as drawn: screen edges in pixels (y downwards) and the texture
// coordinates at those edges (t = 0 along the image's top row).
struct BackdropTile {
    int slot;
    float xa, xb, ya, yb;
    float sa, sb, ta, tb;
};

// The tiles in draw order (slots 3, 4, 5 on top, then 0, 1, 2) into `out`;
// returns how many there are: a tile the window cuts away entirely is left out.
// A 4:3 window, and any window with the FourByThree view, shows the whole
// panorama the six images make, stretched over it, a tile per third and half.
// Any other shape shows the panorama at its own shape, as large as covers the
// window: centred across, and, when the window is wider, cut more above than
// below so that the planet in the lower right stays in view.
// With `insetFor` (the six images, for a driver without GL_CLAMP_TO_EDGE) the
// coordinates keep half a texel (of the level the screen is given) away from
// each image's edges, where repeat wrapping would pull in the opposite edge.
int layOutBackdrop(int32_t width, int32_t height, SceneShape shape, const TextureImage* insetFor,
                   BackdropTile out[6]);
