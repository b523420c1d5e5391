// Loads a race file into a RaceData and makes its textures.
#pragma once
#include "data/formats.h"
#include "data/race_data.h"

#include <string>

// Loads the race at `path`: part meshes with their textures, normals and draw
// arrays, then the shield mesh; the projectile texture. Needs a current GL
// context. Returns `race.meshes`, or null when the file cannot be opened or is
// malformed; `race` is then left untouched and nothing is created.
Mesh* readRaceFile(const std::string& path, RaceData& race);

// The same from a record that parseRaceFile accepted (its indices are trusted here).
Mesh* loadRaceRecord(const RaceFileRecord& record, RaceData& race);

// Per-vertex unit normals from the triangles. A triangle counter-clockwise
// seen from outside (a front face) gives a normal pointing inward, toward the
// scene's light far behind the ships, so the faces the camera sees are the lit
// ones. A vertex no triangle uses keeps a zero normal.
void computeVertexNormals(Mesh& mesh);

// The positions, normals and texture coordinates of every triangle corner, in corner order.
void buildDrawArrays(Mesh& mesh);

// Releases the meshes, the texture table and the projectile image once each and
// zeroes the record. Texture names are left to the context.
void releaseRaceData(RaceData& race);
