// Which draws share a batch, and the batch a draw goes into.
#pragma once
#include "gl/gles/layer_state.h"

namespace gles_layer {

// A blend that writes the source unchanged where its alpha is 1.
bool keepsOpaque(GLenum source, GLenum destination);
// Whether a draw of `draw`'s state may join the batch.
bool joins(const Batch& into, const DrawKey& draw);
// The batch takes on what the joining draw adds; the flags for the slot of
// the draw's unit 0 texture.
unsigned absorb(Batch& into, const DrawKey& draw);
Batch& newBatch(const DrawKey& key, GLenum mode, int geometry);
// The key and per-vertex flags of a draw of `kind` in the current state.
DrawKey currentKey(Kind kind, unsigned& flags);
unsigned currentFlags();
// The batch that takes stream vertices of `key`: the last or a new one.
Batch& streamBatch(const DrawKey& key, GLenum mode, unsigned& slotFlags);
Kind kindOf(GLenum mode);
} // namespace gles_layer
