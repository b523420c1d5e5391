// The one-time scene set-up: the fixed GL state every frame starts from, both
// fleets, and the shared effect assets from "Explosion.as".
#pragma once
#include "data/mesh.h"

#include <cstdint>

// Sets the GL state (camera, light, arrays, blending, texturing) and then loads
// the scene. Needs a current context and MultitextureAvailable settled. False
// when a fleet or the effects file could not be loaded: the caller then ends
// the process at once, silently, with exit code 0.
bool setUpScene();

// Builds both fleets from ProgramDirectory's race files; false when one fails.
using FleetBuilder = bool (*)();
// Both fleets inside one opening of the settings key, as the dialog saved them.
bool buildFleetsFromSettings();
// What the scene set-up builds the fleets with: the settings unless the
// program has its fleet lists from elsewhere (the Linux command line).
extern FleetBuilder BuildFleets;

// Both fleets through BuildFleets, then "Explosion.as" from
// ProgramDirectory: frames, backgrounds (BackgroundTextures), meshes and the
// five single images, uploaded as they are read. False as for setUpScene.
bool loadSceneAssets();

// A new window size: ScreenWidth and ScreenHeight, the viewport and the
// perspective, which keeps the 4:3 view's height and widens or narrows with
// the window. The background's flat projection follows on the next frame.
// Sizes below 1 count as 1.
void reshapeScene(int32_t width, int32_t height);

// The view drawn into the viewport at (x, y) (from the window's bottom-left)
// of width x height, leaving ScreenWidth and ScreenHeight alone. FourByThree is
// the fixed view of the scene set-up, whatever the viewport's shape;
// WindowAspect keeps its height and widens or narrows with the viewport.
enum class SceneShape { FourByThree, WindowAspect };
void placeScene(int32_t x, int32_t y, int32_t width, int32_t height, SceneShape shape);
// The shape of the view last placed, which the background follows: FourByThree
// from the scene set-up on.
extern SceneShape ViewShape;

// The backdrop image's level (halved that many times) a window of this size
// and view shows without sampling it sparsely: the largest whose tiles are
// drawn no smaller than their texels, so that software renderers keep their
// quick magnifying path. placeScene uploads another level when the size asks.
int32_t backdropLevelFor(int32_t width, int32_t height, SceneShape shape,
                         const TextureImage& image);

// Beams' width in pixels for a view `height` pixels high: 1 at 600 lines and
// in proportion above, so that they keep their weight on a tall screen.
float lineWidthFor(int32_t height);

// Releases both fleets and the effect assets' images and meshes; the textures
// go with the rendering context.
void releaseScene();
