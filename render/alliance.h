// The drawing pass of one alliance: hulls, shield bubbles, impact flashes.
#pragma once

// Draws every ship of alliance 1 or 2 in three passes, leaving lighting on,
// blending off, face culling on and depth writes on, as it found them.
void drawAlliance(int alliance);
