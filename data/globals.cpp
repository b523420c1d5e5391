#include "data/effects.h"

EffectAssets Effects;
uint32_t BackgroundTextures[BackgroundImageCount] = {};
