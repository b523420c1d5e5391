// The matrix stacks, in double as GL keeps them, and the calls that change
// them. Vertices are taken into eye space through float copies of the
// modelview and texture matrices, made again only after a change.
#include "gl/gles/matrices.h"

#include "gl/gles/entry_points.h"
#include "gl/gles/flush.h"

#include <cmath>
#include <utility>

namespace gles_layer {

Matrix identity() {
    Matrix m = {};
    m[0] = m[5] = m[10] = m[15] = 1.0;
    return m;
}

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix m = {};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += a[k * 4 + row] * b[column * 4 + k];
            m[column * 4 + row] = sum;
        }
    return m;
}

// The inverse of a 4x4 matrix by Gauss-Jordan elimination; zero when singular.
Matrix invert(const Matrix& m) {
    double a[4][8];
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            a[row][column] = m[column * 4 + row];
            a[row][column + 4] = row == column ? 1.0 : 0.0;
        }
    for (int column = 0; column < 4; ++column) {
        int pivot = column;
        for (int row = column + 1; row < 4; ++row)
            if (std::fabs(a[row][column]) > std::fabs(a[pivot][column])) pivot = row;
        if (a[pivot][column] == 0.0) return Matrix{};
        for (int k = 0; k < 8; ++k)
            std::swap(a[column][k], a[pivot][k]);
        const double scale = 1.0 / a[column][column];
        for (int k = 0; k < 8; ++k)
            a[column][k] *= scale;
        for (int row = 0; row < 4; ++row) {
            if (row == column) continue;
            const double factor = a[row][column];
            for (int k = 0; k < 8; ++k)
                a[row][k] -= factor * a[column][k];
        }
    }
    Matrix inverse;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            inverse[size_t(column * 4 + row)] = a[row][column + 4];
    return inverse;
}

// The inverse transpose of the modelview's upper 3x3, for normals, by rows.
void normalRows(const Matrix& m, float rows[9]) {
    const double a = m[0], b = m[4], c = m[8], d = m[1], e = m[5], f = m[9], g = m[2], h = m[6],
                 i = m[10];
    const double cofactor[9] = {e * i - f * h,    -(d * i - f * g), d * h - e * g,
                                -(b * i - c * h), a * i - c * g,    -(a * h - b * g),
                                b * f - c * e,    -(a * f - c * d), a * e - b * d};
    const double determinant = a * cofactor[0] + b * cofactor[1] + c * cofactor[2];
    const double scale = determinant != 0.0 ? 1.0 / determinant : 0.0;
    // The inverse transpose is the cofactor matrix over the determinant.
    for (int k = 0; k < 9; ++k)
        rows[k] = float(cofactor[k] * scale);
}

void refreshTransform() {
    if (State.transformDirty) {
        const Matrix& m = State.stacks[ModelviewStack].back();
        for (size_t k = 0; k < 16; ++k)
            State.modelview[k] = float(m[k]);
        State.affine = m[3] == 0.0 && m[7] == 0.0 && m[11] == 0.0 && m[15] == 1.0;
        State.transformDirty = false;
        State.normalDirty = true;
    }
    if (State.textureDirty) {
        static const Matrix unit = identity();
        for (int u = 0; u < Units; ++u) {
            const Matrix& t = State.stacks[size_t(TextureStack + u)].back();
            State.textureIdentity[u] = t == unit;
            for (size_t k = 0; k < 16; ++k)
                State.textureMatrix[u][k] = float(t[k]);
        }
        State.textureDirty = false;
    }
}

std::vector<Matrix>& currentStack() {
    switch (State.matrixMode) {
    case GL_PROJECTION:
        return State.stacks[ProjectionStack];
    case GL_TEXTURE:
        return State.stacks[size_t(TextureStack + State.activeUnit)];
    default:
        return State.stacks[ModelviewStack];
    }
}

size_t currentStackSize() {
    return currentStack().size();
}

// The stack glMatrixMode picked, about to change.
std::vector<Matrix>& changingStack() {
    switch (State.matrixMode) {
    case GL_PROJECTION:
        globalsChanging();
        State.inverseDirty = true;
        return State.stacks[ProjectionStack];
    case GL_TEXTURE:
        State.textureDirty = true;
        return State.stacks[size_t(TextureStack + State.activeUnit)];
    default:
        State.transformDirty = true;
        return State.stacks[ModelviewStack];
    }
}

void multiplyCurrent(const Matrix& m) {
    Matrix& top = changingStack().back();
    top = multiply(top, m);
}

// The current matrix times one whose last row is (0, 0, 0, 1) and whose
// upper 3x3 is `r` (column-major) and last column `t`: the translations,
// rotations and scalings the scene makes thousands of a frame.
void multiplyCurrentAffine(const double r[9], const double t[3]) {
    Matrix& top = changingStack().back();
    const Matrix a = top;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column)
            top[size_t(column * 4 + row)] = a[size_t(row)] * r[column * 3] +
                                            a[size_t(4 + row)] * r[column * 3 + 1] +
                                            a[size_t(8 + row)] * r[column * 3 + 2];
        top[size_t(12 + row)] = a[size_t(row)] * t[0] + a[size_t(4 + row)] * t[1] +
                                a[size_t(8 + row)] * t[2] + a[size_t(12 + row)];
    }
}

void KGL_APIENTRY ff_glFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top,
                               GLdouble zNear, GLdouble zFar) {
    if (zNear <= 0 || zFar <= 0 || left == right || bottom == top || zNear == zFar)
        return raise(gles::INVALID_VALUE);
    Matrix m = {};
    m[0] = 2 * zNear / (right - left);
    m[5] = 2 * zNear / (top - bottom);
    m[8] = (right + left) / (right - left);
    m[9] = (top + bottom) / (top - bottom);
    m[10] = -(zFar + zNear) / (zFar - zNear);
    m[11] = -1;
    m[14] = -2 * zFar * zNear / (zFar - zNear);
    multiplyCurrent(m);
}

void KGL_APIENTRY ff_glGetDoublev(GLenum pname, GLdouble* params) {
    int stack = -1;
    if (pname == GL_MODELVIEW_MATRIX) stack = ModelviewStack;
    if (pname == GL_PROJECTION_MATRIX) stack = ProjectionStack;
    if (pname == GL_TEXTURE_MATRIX) stack = TextureStack + State.activeUnit;
    if (stack < 0) return raise(gles::INVALID_ENUM);
    const Matrix& m = State.stacks[size_t(stack)].back();
    std::copy(m.begin(), m.end(), params);
}

void KGL_APIENTRY ff_glLoadIdentity() {
    changingStack().back() = identity();
}

void KGL_APIENTRY ff_glMatrixMode(GLenum mode) {
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION && mode != GL_TEXTURE)
        return raise(gles::INVALID_ENUM);
    State.matrixMode = mode;
}

void KGL_APIENTRY ff_glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top,
                             GLdouble zNear, GLdouble zFar) {
    if (left == right || bottom == top || zNear == zFar) return raise(gles::INVALID_VALUE);
    Matrix m = identity();
    m[0] = 2 / (right - left);
    m[5] = 2 / (top - bottom);
    m[10] = -2 / (zFar - zNear);
    m[12] = -(right + left) / (right - left);
    m[13] = -(top + bottom) / (top - bottom);
    m[14] = -(zFar + zNear) / (zFar - zNear);
    multiplyCurrent(m);
}

void KGL_APIENTRY ff_glPopMatrix() {
    if (currentStackSize() <= 1) return raise(gles::STACK_UNDERFLOW);
    changingStack().pop_back();
}

void KGL_APIENTRY ff_glPushMatrix() {
    if (currentStackSize() >= StackDepth) return raise(gles::STACK_OVERFLOW);
    std::vector<Matrix>& stack = currentStack();
    stack.push_back(stack.back());
}

// A rotation of `angle` degrees about (x, y, z), as glRotate builds it.
void rotate(double angle, double x, double y, double z) {
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0) return;
    x /= length, y /= length, z /= length;
    const double radians = angle * 3.14159265358979323846 / 180.0;
    const double c = std::cos(radians), s = std::sin(radians), t = 1.0 - c;
    const double r[9] = {x * x * t + c,     y * x * t + z * s, x * z * t - y * s,
                         x * y * t - z * s, y * y * t + c,     y * z * t + x * s,
                         x * z * t + y * s, y * z * t - x * s, z * z * t + c};
    const double none[3] = {0.0, 0.0, 0.0};
    multiplyCurrentAffine(r, none);
}

void KGL_APIENTRY ff_glRotated(GLdouble angle, GLdouble x, GLdouble y, GLdouble z) {
    rotate(angle, x, y, z);
}

void KGL_APIENTRY ff_glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    rotate(angle, x, y, z);
}

void KGL_APIENTRY ff_glScalef(GLfloat x, GLfloat y, GLfloat z) {
    const double r[9] = {x, 0.0, 0.0, 0.0, y, 0.0, 0.0, 0.0, z};
    const double none[3] = {0.0, 0.0, 0.0};
    multiplyCurrentAffine(r, none);
}

void KGL_APIENTRY ff_glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    const double r[9] = {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    const double t[3] = {x, y, z};
    multiplyCurrentAffine(r, t);
}
} // namespace gles_layer
