// The shared effect assets loaded once from "Explosion.as".
#pragma once
#include "data/mesh.h"

#include <cstdint>

constexpr int ExplosionFrameCount = 50;
constexpr int BackgroundImageCount = 6;

struct EffectAssets {
    TextureImage explosionFrames[ExplosionFrameCount]; // BGRA
    uint32_t explosionTextures[ExplosionFrameCount] = {};
    int32_t explosionFrameCount = 0;
    TextureImage backgroundImages[BackgroundImageCount]; // BGR
    Mesh spriteMesh;
    Mesh blastMesh;
    Mesh spareMesh;
    TextureImage shieldImage, blastImage, spareImage, damageImage, smokeImage; // BGRA
    uint32_t shieldTexture = 0, blastTexture = 0, spareTexture = 0, damageTexture = 0,
             smokeTexture = 0;
};

extern EffectAssets Effects;

// Slots 0..5, in file order; the frame driver draws them.
extern uint32_t BackgroundTextures[BackgroundImageCount];
