// Ship hulls: the race's part meshes, lit and textured, with the damage overlay.
#pragma once
#include "battle/ship.h"
#include "data/mesh.h"

// Multiplies the modelview matrix by the ship's placement: translate to its
// position, then rotate about x, y and z by its angles.
void applyShipTransform(const Ship& ship);

// Draws the ship's part meshes (nothing but the texture binds while it is dying).
void drawShipModel(const Ship& ship);

// Sends the first `count` triangles of a vertex-by-vertex mesh (sprites, shields
// without colour) as one GL_TRIANGLES batch: texture coordinate, normal, vertex
// per corner. `count` is limited to the mesh's own triangle count.
void drawSpriteTriangles(const Mesh& mesh, int count);
