// The one-time scene set-up: the fixed GL state every frame starts from, both
// fleets, and the shared effect assets from "Explosion.as".
#pragma once

// Sets the GL state (camera, light, arrays, blending, texturing) and then loads
// the scene. Needs a current context and MultitextureAvailable settled. False
// when a fleet or the effects file could not be loaded: the caller then ends
// the process at once, silently, with exit code 0.
bool setUpScene();

// Both fleets inside one opening of the settings key, then "Explosion.as" from
// ProgramDirectory: frames, backgrounds (BackgroundTextures), meshes and the
// five single images, uploaded as they are read. False as for setUpScene.
bool loadSceneAssets();
