#include "tools/forge/geometry.h"

#include "tools/forge/noise.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>

Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 operator*(Vec3 a, float k) {
    return {a.x * k, a.y * k, a.z * k};
}
float dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float length(Vec3 a) {
    return std::sqrt(dot(a, a));
}
Vec3 normalised(Vec3 a) {
    float l = length(a);
    return l > 0.0f ? a * (1.0f / l) : a;
}

Frame frameAt(Vec3 origin) {
    Frame frame;
    frame.origin = origin;
    return frame;
}

namespace {
// Turns axis p towards axis q by `turns`.
void turnPair(Vec3& p, Vec3& q, double turns) {
    float c = static_cast<float>(turnCos(turns)), s = static_cast<float>(turnSin(turns));
    Vec3 np = p * c + q * s;
    Vec3 nq = q * c - p * s;
    p = np;
    q = nq;
}
} // namespace

Frame rolled(const Frame& frame, double turns) {
    Frame f = frame;
    turnPair(f.ax, f.az, turns);
    return f;
}

Frame yawed(const Frame& frame, double turns) {
    Frame f = frame;
    turnPair(f.ax, f.ay, turns);
    return f;
}

Frame pitched(const Frame& frame, double turns) {
    Frame f = frame;
    turnPair(f.ay, f.az, turns);
    return f;
}

Vec3 toModel(const Frame& frame, Vec3 local) {
    return frame.origin + frame.ax * local.x + frame.ay * local.y + frame.az * local.z;
}

std::vector<Vec2> regularProfile(int sides, double startTurns) {
    std::vector<Vec2> profile;
    for (int k = 0; k < sides; ++k) {
        double t = startTurns + static_cast<double>(k) / sides;
        profile.push_back({static_cast<float>(turnCos(t)), static_cast<float>(turnSin(t))});
    }
    return profile;
}

std::vector<Vec2> chamferedProfile(float chamfer) {
    float c = 1.0f - chamfer;
    return {{1, -c}, {1, c}, {c, 1}, {-c, 1}, {-1, c}, {-1, -c}, {-c, -1}, {c, -1}};
}

namespace {
int addVertex(MeshRecord& mesh, Vec3 p, float u, float v) {
    mesh.positions.push_back({p.x, p.y, p.z});
    mesh.texCoords.push_back({u, v});
    return static_cast<int>(mesh.positions.size()) - 1;
}

bool samePoint(Vec3 a, Vec3 b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

// Adds the triangle unless two of its corners coincide.
void addTriangle(MeshRecord& mesh, int a, int b, int c) {
    Vec3 pa = positionOf(mesh, a), pb = positionOf(mesh, b), pc = positionOf(mesh, c);
    if (samePoint(pa, pb) || samePoint(pb, pc) || samePoint(pc, pa)) return;
    mesh.triangles.push_back({a, b, c});
}

Vec3 polygonNormal(const std::vector<Vec3>& corners) {
    // Newell's method: robust for any planar polygon.
    Vec3 n{0, 0, 0};
    for (size_t i = 0; i < corners.size(); ++i) {
        Vec3 p = corners[i], q = corners[(i + 1) % corners.size()];
        n.x += (p.y - q.y) * (p.z + q.z);
        n.y += (p.z - q.z) * (p.x + q.x);
        n.z += (p.x - q.x) * (p.y + q.y);
    }
    return n;
}

Vec2 boxUv(Vec3 p, Vec3 normal, const Mapping& mapping) {
    float ax = std::fabs(normal.x), ay = std::fabs(normal.y), az = std::fabs(normal.z);
    float u, v;
    if (az >= ax && az >= ay) {
        u = p.x;
        v = p.y;
    } else if (ax >= ay) {
        u = p.y;
        v = p.z;
    } else {
        u = p.x;
        v = p.z;
    }
    return {u * mapping.scale + mapping.uOffset, v * mapping.scale + mapping.vOffset};
}

float signedArea(const std::vector<Vec2>& outline) {
    float area = 0.0f;
    for (size_t i = 0; i < outline.size(); ++i) {
        Vec2 p = outline[i], q = outline[(i + 1) % outline.size()];
        area += p.x * q.y - q.x * p.y;
    }
    return area * 0.5f;
}

void addPolygonWithUv(MeshRecord& mesh, std::vector<Vec3> corners, std::vector<Vec2> uvs,
                      Vec3 outward) {
    if (dot(polygonNormal(corners), outward) < 0.0f) {
        std::reverse(corners.begin(), corners.end());
        std::reverse(uvs.begin(), uvs.end());
    }
    std::vector<int> index;
    for (size_t i = 0; i < corners.size(); ++i)
        index.push_back(addVertex(mesh, corners[i], uvs[i].x, uvs[i].y));
    if (corners.size() == 3) {
        addTriangle(mesh, index[0], index[1], index[2]);
    } else if (corners.size() == 4) {
        addTriangle(mesh, index[0], index[1], index[2]);
        addTriangle(mesh, index[0], index[2], index[3]);
    } else {
        Vec3 centre{0, 0, 0};
        Vec2 centreUv{0, 0};
        for (size_t i = 0; i < corners.size(); ++i) {
            centre = centre + corners[i];
            centreUv.x += uvs[i].x;
            centreUv.y += uvs[i].y;
        }
        float k = 1.0f / static_cast<float>(corners.size());
        int mid = addVertex(mesh, centre * k, centreUv.x * k, centreUv.y * k);
        for (size_t i = 0; i < corners.size(); ++i)
            addTriangle(mesh, mid, index[i], index[(i + 1) % corners.size()]);
    }
}
} // namespace

void addPolygon(MeshRecord& mesh, const std::vector<Vec3>& corners, Vec3 outward,
                const Mapping& mapping) {
    Vec3 normal = polygonNormal(corners);
    std::vector<Vec2> uvs;
    for (Vec3 p : corners)
        uvs.push_back(boxUv(p, normal, mapping));
    addPolygonWithUv(mesh, corners, uvs, outward);
}

void addLoft(MeshRecord& mesh, const Frame& frame, const std::vector<Vec2>& profile,
             const std::vector<Section>& sections, const Mapping& mapping, bool smooth) {
    const int n = static_cast<int>(profile.size());
    const int count = static_cast<int>(sections.size());
    auto point = [&](int s, int k) {
        const Section& sec = sections[s];
        Vec2 p = profile[k % n];
        return toModel(frame, {sec.cx + sec.sx * p.x, sec.at, sec.cz + sec.sz * p.y});
    };
    auto bandV = [&](int s) {
        float t = (sections[s].at - sections[0].at) / (sections[count - 1].at - sections[0].at);
        return mapping.vStart + (mapping.vEnd - mapping.vStart) * t;
    };
    auto bandU = [&](int k) { return mapping.uRepeat * static_cast<float>(k) / n; };

    if (smooth) {
        // One grid of (n + 1) x count vertices; the seam column is doubled for the texture.
        int base = static_cast<int>(mesh.positions.size());
        for (int s = 0; s < count; ++s) {
            for (int k = 0; k <= n; ++k) {
                Vec3 p = point(s, k);
                if (mapping.band) {
                    addVertex(mesh, p, bandU(k), bandV(s));
                } else {
                    Vec3 radial =
                        p - toModel(frame, {sections[s].cx, sections[s].at, sections[s].cz});
                    Vec2 uv = boxUv(p, radial, mapping);
                    addVertex(mesh, p, uv.x, uv.y);
                }
            }
        }
        for (int s = 0; s + 1 < count; ++s) {
            for (int k = 0; k < n; ++k) {
                int a = base + s * (n + 1) + k, b = a + 1;
                int d = base + (s + 1) * (n + 1) + k, c = d + 1;
                addTriangle(mesh, a, d, c);
                addTriangle(mesh, a, c, b);
            }
        }
    } else {
        for (int s = 0; s + 1 < count; ++s) {
            for (int k = 0; k < n; ++k) {
                Vec3 a = point(s, k), b = point(s, k + 1), c = point(s + 1, k + 1),
                     d = point(s + 1, k);
                // Quads that close to a point become triangles.
                std::vector<Vec3> corners;
                std::vector<Vec2> uvs;
                Vec2 uva{bandU(k), bandV(s)}, uvb{bandU(k + 1), bandV(s)},
                    uvc{bandU(k + 1), bandV(s + 1)}, uvd{bandU(k), bandV(s + 1)};
                corners.push_back(a);
                uvs.push_back(uva);
                corners.push_back(d);
                uvs.push_back(uvd);
                if (!samePoint(c, d)) {
                    corners.push_back(c);
                    uvs.push_back(uvc);
                }
                if (!samePoint(a, b)) {
                    corners.push_back(b);
                    uvs.push_back(uvb);
                }
                if (corners.size() < 3) continue;
                Vec3 normal = polygonNormal(corners);
                if (!mapping.band) {
                    for (size_t i = 0; i < corners.size(); ++i)
                        uvs[i] = boxUv(corners[i], normal, mapping);
                }
                // Already wound outward; the normal itself is the hint.
                addPolygonWithUv(mesh, corners, uvs, normal);
            }
        }
    }

    // Flat end caps where the loft does not close to a point.
    for (int end = 0; end < 2; ++end) {
        int s = end == 0 ? 0 : count - 1;
        if (sections[s].sx == 0.0f && sections[s].sz == 0.0f) continue;
        std::vector<Vec3> corners;
        for (int k = 0; k < n; ++k)
            corners.push_back(point(s, k));
        Vec3 outward = end == 0 ? frame.ay * -1.0f : frame.ay;
        if (mapping.capRadius > 0.0f) {
            std::vector<Vec2> uvs;
            for (int k = 0; k < n; ++k) {
                uvs.push_back({mapping.capU + mapping.capRadius * profile[k].x,
                               mapping.capV + mapping.capRadius * profile[k].y});
            }
            addPolygonWithUv(mesh, corners, uvs, outward);
        } else {
            addPolygon(mesh, corners, outward, mapping);
        }
    }
}

void addSlab(MeshRecord& mesh, const Frame& frame, const std::vector<Vec2>& outline,
             float halfThickness, const Mapping& mapping) {
    std::vector<Vec2> ring = outline;
    if (signedArea(ring) < 0.0f) std::reverse(ring.begin(), ring.end());
    const size_t n = ring.size();
    std::vector<Vec3> top, bottom;
    for (Vec2 p : ring) {
        top.push_back(toModel(frame, {p.x, p.y, halfThickness}));
        bottom.push_back(toModel(frame, {p.x, p.y, -halfThickness}));
    }
    addPolygon(mesh, top, frame.az, mapping);
    addPolygon(mesh, bottom, frame.az * -1.0f, mapping);
    for (size_t i = 0; i < n; ++i) {
        size_t j = (i + 1) % n;
        Vec2 e{ring[j].x - ring[i].x, ring[j].y - ring[i].y};
        Vec3 outward = frame.ax * e.y - frame.ay * e.x;
        addPolygon(mesh, {top[i], bottom[i], bottom[j], top[j]}, outward, mapping);
    }
}

void addBox(MeshRecord& mesh, const Frame& frame, Vec3 centre, Vec3 half, const Mapping& mapping) {
    Frame shifted = frame;
    shifted.origin = toModel(frame, centre);
    addSlab(mesh, shifted,
            {{-half.x, -half.y}, {half.x, -half.y}, {half.x, half.y}, {-half.x, half.y}}, half.z,
            mapping);
}

void addRing(MeshRecord& mesh, const Frame& frame, float radius, float halfWidth, float halfHeight,
             int segments, const Mapping& mapping) {
    auto at = [&](int k, float r, float c) {
        double t = static_cast<double>(k % segments) / segments;
        return toModel(frame,
                       {r * static_cast<float>(turnCos(t)), r * static_cast<float>(turnSin(t)), c});
    };
    float ri = radius - halfWidth, ro = radius + halfWidth, h = halfHeight;
    for (int k = 0; k < segments; ++k) {
        double mid = (k + 0.5) / segments;
        Vec3 radial = frame.ax * static_cast<float>(turnCos(mid)) +
                      frame.ay * static_cast<float>(turnSin(mid));
        addPolygon(mesh, {at(k, ro, -h), at(k, ro, h), at(k + 1, ro, h), at(k + 1, ro, -h)}, radial,
                   mapping);
        addPolygon(mesh, {at(k, ri, -h), at(k, ri, h), at(k + 1, ri, h), at(k + 1, ri, -h)},
                   radial * -1.0f, mapping);
        addPolygon(mesh, {at(k, ri, h), at(k, ro, h), at(k + 1, ro, h), at(k + 1, ri, h)}, frame.az,
                   mapping);
        addPolygon(mesh, {at(k, ri, -h), at(k, ro, -h), at(k + 1, ro, -h), at(k + 1, ri, -h)},
                   frame.az * -1.0f, mapping);
    }
}

MeshRecord mirroredX(const MeshRecord& mesh) {
    MeshRecord out = mesh;
    for (auto& p : out.positions)
        p[0] = -p[0];
    for (auto& t : out.triangles)
        std::swap(t.b, t.c);
    return out;
}

void appendMesh(MeshRecord& into, const MeshRecord& from) {
    int32_t base = static_cast<int32_t>(into.positions.size());
    into.positions.insert(into.positions.end(), from.positions.begin(), from.positions.end());
    into.texCoords.insert(into.texCoords.end(), from.texCoords.begin(), from.texCoords.end());
    for (MeshTriangle t : from.triangles)
        into.triangles.push_back({t.a + base, t.b + base, t.c + base});
}

void dropUnusedVertices(MeshRecord& mesh) {
    std::vector<int32_t> renumbered(mesh.positions.size(), -1);
    for (const MeshTriangle& t : mesh.triangles)
        for (int32_t v : {t.a, t.b, t.c})
            renumbered[size_t(v)] = 0;
    int32_t next = 0;
    for (size_t v = 0; v < renumbered.size(); ++v) {
        if (renumbered[v] < 0) continue;
        renumbered[v] = next;
        mesh.positions[size_t(next)] = mesh.positions[v];
        mesh.texCoords[size_t(next)] = mesh.texCoords[v];
        ++next;
    }
    mesh.positions.resize(size_t(next));
    mesh.texCoords.resize(size_t(next));
    for (MeshTriangle& t : mesh.triangles)
        t = {renumbered[size_t(t.a)], renumbered[size_t(t.b)], renumbered[size_t(t.c)]};
}

MeshRecord withMirror(const MeshRecord& half) {
    MeshRecord whole = half;
    appendMesh(whole, mirroredX(half));
    return whole;
}

namespace {
constexpr int ShieldRings = 4;
constexpr int ShieldSides = 6;

MeshRecord shieldShell(Vec3 centre, Vec3 radii) {
    MeshRecord shell;
    auto put = [&](Vec3 p) {
        shell.positions.push_back({p.x, p.y, p.z});
        shell.texCoords.push_back(
            {0.5f + 0.5f * (p.x - centre.x) / radii.x, 0.5f + 0.5f * (p.y - centre.y) / radii.y});
    };
    put({centre.x, centre.y - radii.y, centre.z}); // nose pole
    for (int i = 0; i < ShieldRings; ++i) {
        double latitude = static_cast<double>(i + 1) / (2 * (ShieldRings + 1)); // turns
        float along = static_cast<float>(-turnCos(latitude));
        float spread = static_cast<float>(turnSin(latitude));
        for (int j = 0; j < ShieldSides; ++j) {
            double around = static_cast<double>(j) / ShieldSides;
            put({centre.x + radii.x * spread * static_cast<float>(turnCos(around)),
                 centre.y + radii.y * along,
                 centre.z + radii.z * spread * static_cast<float>(turnSin(around))});
        }
    }
    put({centre.x, centre.y + radii.y, centre.z}); // tail pole
    const int tail = 1 + ShieldRings * ShieldSides;
    auto ring = [](int i, int j) { return 1 + i * ShieldSides + (j % ShieldSides); };
    auto face = [&](int a, int b, int c) {
        // Wind each face away from the centre (the shell is convex).
        MeshTriangle t{a, b, c};
        Vec3 mid =
            (positionOf(shell, a) + positionOf(shell, b) + positionOf(shell, c)) * (1.0f / 3.0f);
        if (dot(faceNormal(shell, t), mid - centre) < 0.0f) std::swap(t.b, t.c);
        shell.triangles.push_back(t);
    };
    for (int j = 0; j < ShieldSides; ++j)
        face(0, ring(0, j), ring(0, j + 1));
    for (int i = 0; i + 1 < ShieldRings; ++i) {
        for (int j = 0; j < ShieldSides; ++j) {
            face(ring(i, j), ring(i + 1, j), ring(i + 1, j + 1));
            face(ring(i, j), ring(i + 1, j + 1), ring(i, j + 1));
        }
    }
    for (int j = 0; j < ShieldSides; ++j)
        face(tail, ring(ShieldRings - 1, j + 1), ring(ShieldRings - 1, j));
    return shell;
}
} // namespace

MeshRecord buildShieldMesh(const std::vector<const MeshRecord*>& hull, float margin) {
    Bounds b = boundsOf(hull);
    Vec3 centre = (b.low + b.high) * 0.5f;
    Vec3 half = (b.high - b.low) * 0.5f;
    float wide = half.x > half.y ? half.x : half.y;
    // A flat ship still gets a bubble with some depth.
    Vec3 radii{half.x > 0.02f ? half.x : 0.02f, half.y > 0.02f ? half.y : 0.02f,
               half.z > 0.45f * wide ? half.z : 0.45f * wide};
    MeshRecord unit = shieldShell(centre, radii);
    // Grow the shell until every hull vertex lies inside every face plane.
    float scale = 0.0f;
    for (const MeshTriangle& t : unit.triangles) {
        Vec3 n = normalised(faceNormal(unit, t));
        float reach = dot(n, positionOf(unit, t.a) - centre);
        for (const MeshRecord* mesh : hull) {
            for (const auto& p : mesh->positions) {
                float d = dot(n, Vec3{p[0], p[1], p[2]} - centre) / reach;
                if (d > scale) scale = d;
            }
        }
    }
    return shieldShell(centre, radii * (scale * margin));
}

Vec3 positionOf(const MeshRecord& mesh, int index) {
    const auto& p = mesh.positions[static_cast<size_t>(index)];
    return {p[0], p[1], p[2]};
}

Vec3 faceNormal(const MeshRecord& mesh, const MeshTriangle& t) {
    Vec3 a = positionOf(mesh, t.a), b = positionOf(mesh, t.b), c = positionOf(mesh, t.c);
    return cross(b - a, c - a);
}

double signedVolume(const MeshRecord& mesh) {
    double volume = 0.0;
    for (const MeshTriangle& t : mesh.triangles) {
        Vec3 a = positionOf(mesh, t.a), b = positionOf(mesh, t.b), c = positionOf(mesh, t.c);
        Vec3 bc = cross(b, c);
        volume += (static_cast<double>(a.x) * bc.x + static_cast<double>(a.y) * bc.y +
                   static_cast<double>(a.z) * bc.z) /
                  6.0;
    }
    return volume;
}

bool isClosedSurface(const MeshRecord& mesh, std::string* fault) {
    // Weld by exact position; the builders compute shared corners identically.
    std::map<std::tuple<float, float, float>, int> ids;
    std::vector<int> id(mesh.positions.size());
    for (size_t i = 0; i < mesh.positions.size(); ++i) {
        auto key =
            std::make_tuple(mesh.positions[i][0], mesh.positions[i][1], mesh.positions[i][2]);
        auto found = ids.emplace(key, static_cast<int>(ids.size()));
        id[i] = found.first->second;
    }
    std::map<std::pair<int, int>, int> edges;
    for (size_t f = 0; f < mesh.triangles.size(); ++f) {
        const MeshTriangle& t = mesh.triangles[f];
        if (length(faceNormal(mesh, t)) <= 0.0f) {
            if (fault) *fault = "triangle " + std::to_string(f) + " has no area";
            return false;
        }
        int v[3] = {id[static_cast<size_t>(t.a)], id[static_cast<size_t>(t.b)],
                    id[static_cast<size_t>(t.c)]};
        for (int k = 0; k < 3; ++k)
            ++edges[{v[k], v[(k + 1) % 3]}];
    }
    for (const auto& [edge, count] : edges) {
        auto reverse = edges.find({edge.second, edge.first});
        int back = reverse == edges.end() ? 0 : reverse->second;
        if (back != count) {
            if (fault) {
                *fault = "edge between welded vertices " + std::to_string(edge.first) + " and " +
                         std::to_string(edge.second) + " is used " + std::to_string(count) +
                         " times one way and " + std::to_string(back) + " times the other";
            }
            return false;
        }
    }
    return true;
}

bool insideConvexShell(const MeshRecord& shell, Vec3 point) {
    for (const MeshTriangle& t : shell.triangles) {
        if (dot(faceNormal(shell, t), point - positionOf(shell, t.a)) >= 0.0f) return false;
    }
    return true;
}

Bounds boundsOf(const std::vector<const MeshRecord*>& meshes) {
    Bounds b{{1e30f, 1e30f, 1e30f}, {-1e30f, -1e30f, -1e30f}};
    for (const MeshRecord* mesh : meshes) {
        for (const auto& p : mesh->positions) {
            b.low = {std::fmin(b.low.x, p[0]), std::fmin(b.low.y, p[1]), std::fmin(b.low.z, p[2])};
            b.high = {std::fmax(b.high.x, p[0]), std::fmax(b.high.y, p[1]),
                      std::fmax(b.high.z, p[2])};
        }
    }
    return b;
}
