// Wide lines: WebGL draws lines one pixel wide only, so a line the program
// draws wider becomes the parallelogram GL would rasterise, as two triangles
// worked out in eye space.
#include "gl/gles/wide_lines.h"

#include "gl/gles/matrices.h"

#include <cmath>

namespace gles_layer {

// A projection of an eye-space point, in double.
std::array<double, 4> project(const float eye[4]) {
    const Matrix& p = State.stacks[ProjectionStack].back();
    std::array<double, 4> clip = {};
    for (int row = 0; row < 4; ++row)
        for (int k = 0; k < 4; ++k)
            clip[size_t(row)] += p[size_t(k * 4 + row)] * eye[k];
    return clip;
}

// GL draws lines without antialiasing at their width rounded to a whole pixel.
float drawnLineWidth() {
    const float width = std::floor(State.lineWidth + 0.5f);
    return width < 1.0f ? 1.0f : width;
}

// Line segments (pairs of vertices) as GL draws wide lines: each a
// parallelogram `lineWidth` pixels across its minor axis in the window, here
// two triangles, worked out in eye space so that lighting stays as it was.
void appendWideLines(const std::vector<Vertex>& segments, std::vector<Vertex>& out) {
    if (State.inverseDirty) {
        State.projectionInverse = invert(State.stacks[ProjectionStack].back());
        State.inverseDirty = false;
    }
    const Matrix& inverse = State.projectionInverse;
    const double halfWidth = drawnLineWidth() / 2.0;
    const double viewWidth = State.viewport[2] > 0 ? State.viewport[2] : 1;
    const double viewHeight = State.viewport[3] > 0 ? State.viewport[3] : 1;
    for (size_t k = 0; k + 1 < segments.size(); k += 2) {
        const Vertex& a = segments[k];
        const Vertex& b = segments[k + 1];
        const auto ca = project(a.position), cb = project(b.position);
        if (ca[3] <= 0.0 || cb[3] <= 0.0) continue; // reaches behind the eye: left out
        const double dx = (cb[0] / cb[3] - ca[0] / ca[3]) * viewWidth;
        const double dy = (cb[1] / cb[3] - ca[1] / ca[3]) * viewHeight;
        const bool xMajor = std::fabs(dx) >= std::fabs(dy);
        // Half the width in clip units at w = 1, across the minor axis.
        const double across[2] = {xMajor ? 0.0 : halfWidth * 2.0 / viewWidth,
                                  xMajor ? halfWidth * 2.0 / viewHeight : 0.0};
        Vertex corner[4] = {a, a, b, b}; // a-, a+, b-, b+
        for (int c = 0; c < 4; ++c) {
            const double w = c < 2 ? ca[3] : cb[3];
            const double sign = c % 2 ? 1.0 : -1.0;
            const double clipOffset[2] = {sign * across[0] * w, sign * across[1] * w};
            for (int row = 0; row < 4; ++row)
                corner[c].position[row] += float(inverse[size_t(row)] * clipOffset[0] +
                                                 inverse[size_t(4 + row)] * clipOffset[1]);
        }
        out.insert(out.end(), {corner[0], corner[1], corner[3], corner[0], corner[3], corner[2]});
    }
}
} // namespace gles_layer
