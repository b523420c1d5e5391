// The start of a run, the same for every front-end: each makes its window and
// its context its own way and hands the calls here, which keep the order.
#pragma once
#include "gl/context.h"

// Device context, pixel format, context, make-current (which binds the
// extensions), the multitexture test, the scene, the swap entry point and the
// smoke list, in that order. A step that fails stops the run as the result says.
ContextSetUp startRun(void* window, const ContextSetUpCalls& calls);

// The end of a run: both fleets and the effect assets; the textures go with
// the rendering context.
void releaseScene();
