// Building blocks for the ship and effect meshes, and the checks that the
// generated meshes are sound (closed, wound outward, shield around the hull).
// Every face is wound counter-clockwise seen from outside: back faces are culled.
#pragma once
#include "data/formats.h"

#include <vector>

struct Vec2 {
    float x, y;
};

struct Vec3 {
    float x, y, z;
};

Vec3 operator+(Vec3 a, Vec3 b);
Vec3 operator-(Vec3 a, Vec3 b);
Vec3 operator*(Vec3 a, float k);
float dot(Vec3 a, Vec3 b);
Vec3 cross(Vec3 a, Vec3 b);
float length(Vec3 a);
Vec3 normalised(Vec3 a);

// A local frame: the local point (a, b, c) lies at origin + a*ax + b*ay + c*az.
// Loft sections run along local b; slabs lie in the a-b plane, thick along c.
struct Frame {
    Vec3 origin{0, 0, 0};
    Vec3 ax{1, 0, 0};
    Vec3 ay{0, 1, 0};
    Vec3 az{0, 0, 1};
};

Frame frameAt(Vec3 origin);
// The frame turned by `turns` about its own b axis (a turns towards c).
Frame rolled(const Frame& frame, double turns);
// The frame turned about its own c axis (a turns towards b).
Frame yawed(const Frame& frame, double turns);
// The frame turned about its own a axis (b turns towards c).
Frame pitched(const Frame& frame, double turns);
Vec3 toModel(const Frame& frame, Vec3 local);

// A regular polygon of `sides` corners on the unit circle, counter-clockwise,
// starting at `startTurns`.
std::vector<Vec2> regularProfile(int sides, double startTurns = 0.0);
// A rectangle with its corners cut by `chamfer` (0..1 of the half side).
std::vector<Vec2> chamferedProfile(float chamfer);

// One cross-section of a loft: at local b = `at`, the profile scaled by
// (sx, sz) around the local centre (cx, cz). A zero scale closes the loft to a point.
struct Section {
    float at;
    float cx, cz;
    float sx, sz;
};

// How faces get texture coordinates. Box: each flat face is projected on the
// model plane it faces most, `scale` texture repeats per model unit. Band (lofts
// only): u runs around the profile 0..uRepeat and v along the loft vStart..vEnd;
// the end caps then take a disc of the texture centred on (capU, capV).
struct Mapping {
    bool band = false;
    float scale = 1.0f;
    float uOffset = 0.0f, vOffset = 0.0f;
    float uRepeat = 1.0f, vStart = 0.0f, vEnd = 1.0f;
    float capU = 0.5f, capV = 0.5f, capRadius = 0.0f; // capRadius 0: caps use box mapping
};

// Lofts `profile` (counter-clockwise in the a-c plane) through `sections`, given
// in increasing `at`. Smooth lofts share their side vertices so that normals
// are averaged; the caps are always flat.
void addLoft(MeshRecord& mesh, const Frame& frame, const std::vector<Vec2>& profile,
             const std::vector<Section>& sections, const Mapping& mapping, bool smooth);
// A flat plate: `outline` (star-shaped around its centroid) in the a-b plane,
// `halfThickness` above and below along c.
void addSlab(MeshRecord& mesh, const Frame& frame, const std::vector<Vec2>& outline,
             float halfThickness, const Mapping& mapping);
// A box given by its local centre and half sizes.
void addBox(MeshRecord& mesh, const Frame& frame, Vec3 centre, Vec3 half, const Mapping& mapping);
// A ring around the local c axis: `segments` pieces of a tube whose
// rectangular section is `halfWidth` (radial) by `halfHeight` (along c).
void addRing(MeshRecord& mesh, const Frame& frame, float radius, float halfWidth, float halfHeight,
             int segments, const Mapping& mapping);
// A flat convex polygon in model space; it is wound to face `outward`.
void addPolygon(MeshRecord& mesh, const std::vector<Vec3>& corners, Vec3 outward,
                const Mapping& mapping);

// The mesh mirrored across x = 0, with its winding turned so that it stays outward.
MeshRecord mirroredX(const MeshRecord& mesh);
void appendMesh(MeshRecord& into, const MeshRecord& from);
MeshRecord withMirror(const MeshRecord& half);
// Removes the vertices that no triangle uses (a loft closing to a point leaves
// its seam vertex there unused), keeping the others in order.
void dropUnusedVertices(MeshRecord& mesh);

// The shield: two poles on the long (y) axis and four rings of six between
// them, 26 vertices and 48 triangles wound outward, a convex shell around
// every vertex of `hull` with `margin` (a factor, e.g. 1.1) to spare.
MeshRecord buildShieldMesh(const std::vector<const MeshRecord*>& hull, float margin);

// Checks.
Vec3 positionOf(const MeshRecord& mesh, int index);
Vec3 faceNormal(const MeshRecord& mesh, const MeshTriangle& triangle); // not normalised
// Signed volume: positive when the closed mesh is wound outward.
double signedVolume(const MeshRecord& mesh);
// Every edge (compared by position) is used once in each direction: closed and
// consistently wound. Triangles of zero area are reported as faults too.
bool isClosedSurface(const MeshRecord& mesh, std::string* fault);
// True when `point` lies strictly inside the convex, outward-wound `shell`.
bool insideConvexShell(const MeshRecord& shell, Vec3 point);
struct Bounds {
    Vec3 low, high;
};
Bounds boundsOf(const std::vector<const MeshRecord*>& meshes);
