// The matrix stacks and the transforms the layer draws with.
#pragma once
#include "gl/gles/layer_state.h"

namespace gles_layer {

Matrix identity();
// The inverse of a 4x4 matrix; zero when singular.
Matrix invert(const Matrix& m);
// The inverse transpose of the modelview's upper 3x3, for normals, by rows.
void normalRows(const Matrix& m, float rows[9]);
// Makes the float modelview and texture matrices again after a change.
void refreshTransform();

// The normal matrix's rows for the current modelview, made when lighting needs them.
inline const float* currentNormalRows() {
    if (State.normalDirty) {
        normalRows(State.stacks[ModelviewStack].back(), State.normalRows);
        State.normalDirty = false;
    }
    return State.normalRows;
}
} // namespace gles_layer
