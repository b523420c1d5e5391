// The one-time scene set-up: the fixed GL state every frame starts from, both
// fleets, and the shared effect assets from "Explosion.as".
#pragma once
#include "data/mesh.h"

#include <cstdint>
#include <string>

// Sets the GL state (camera, light, arrays, blending, texturing) for a screen
// of width x height and then loads the scene from `directory` (ending in a
// path separator). Needs a current context and MultitextureAvailable settled.
// False when a fleet or the effects file could not be loaded: the caller then
// ends the process at once, silently, with exit code 0.
bool setUpScene(int32_t width, int32_t height, const std::string& directory);

// Builds both fleets from the race files in `directory`; false when one fails.
using FleetBuilder = bool (*)(const std::string& directory);
// What the scene set-up builds the fleets with, set by the front-end before
// the run starts: the settings on Windows, the command line on Linux, the
// page's choice in the browser. Null: the scene does not load.
extern FleetBuilder BuildFleets;

// Both fleets through BuildFleets, then "Explosion.as" from `directory`:
// frames, backgrounds (BackgroundTextures), meshes and the five single images,
// uploaded as they are read. False as for setUpScene.
bool loadSceneAssets(const std::string& directory);

// The view drawn into the viewport at (x, y) (from the window's bottom-left)
// of width x height. FourByThree is the fixed view of the scene set-up,
// whatever the viewport's shape; WindowAspect keeps its height and widens or
// narrows with the viewport.
enum class SceneShape { FourByThree, WindowAspect };
void placeScene(int32_t x, int32_t y, int32_t width, int32_t height, SceneShape shape);
// The shape of the view last placed, which the background follows: FourByThree
// from the scene set-up on.
extern SceneShape ViewShape;

// True when a width x height window is 4:3 within a pixel, either way.
bool isFourByThree(int32_t width, int32_t height);

// The backdrop image's level (halved that many times) a window of this size
// and view shows without sampling it sparsely: the largest whose tiles are
// drawn no smaller than their texels, so that software renderers keep their
// quick magnifying path. placeScene uploads another level when the size asks.
int32_t backdropLevelFor(int32_t width, int32_t height, SceneShape shape,
                         const TextureImage& image);

// Beams' width in pixels for a view `height` pixels high: 1 at 600 lines and
// in proportion above, so that they keep their weight on a tall screen.
float lineWidthFor(int32_t height);

// Releases the effect assets' images and meshes; the textures go with the
// rendering context. The fleets are released with releaseFleet.
void releaseSceneAssets();

// The backdrop's pixel copies are most of the scene's memory (six 1024-texel
// tiles, 19 MB). A program that keeps the data set at hand (the page) drops
// them once uploaded: the sizes stay, and when a new size wants another level
// (placeScene) or a new context wants the textures again (uploadBackdropAgain)
// they are read again from the effects file the scene was loaded from, and
// dropped again after.
void releaseBackdropPixels();
// The backdrop at its level into BackgroundTextures again (the first texture
// unit selected); false when its pixels cannot be read again.
bool uploadBackdropAgain();
