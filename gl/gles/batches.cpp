// The batching rules. Every call into WebGL crosses from WebAssembly into
// JavaScript and is checked there, so the layer draws in batches: consecutive
// draws that share their state go into one buffer and one draw call. A draw's
// state is its key; a batch takes a draw whose key joins its own, and then
// what the draw adds (another texture slot, its blend). State reaches ES only
// when a batch is drawn (flush.cpp).
#include "gl/gles/batches.h"

#include "gl/gles/textures.h"

namespace gles_layer {

// A blend that writes the source unchanged where its alpha is 1.
bool keepsOpaque(GLenum source, GLenum destination) {
    return (source == GL_SRC_ALPHA || source == One) &&
           (destination == GL_ONE_MINUS_SRC_ALPHA || destination == Zero);
}

int slotOf(const Batch& batch, GLuint texture) {
    for (int slot = 0; slot < batch.slotCount; ++slot)
        if (batch.slots[slot] == texture) return slot;
    return -1;
}

bool joins(const Batch& into, const DrawKey& draw) {
    const DrawKey& batch = into.key;
    // Only blended draws, the effects' many small sprites, share a batch over
    // different textures: large opaque ones (the backdrop's tiles) would pay
    // for the choice of texture on every pixel.
    if (draw.texture[0] && slotOf(into, draw.texture[0]) < 0 && into.slotCount > 0 &&
        (into.slotCount == Slots || !batch.blend || !draw.blend))
        return false;
    if (batch.kind != draw.kind || batch.depthTest != draw.depthTest ||
        batch.depthMask != draw.depthMask || batch.cull != draw.cull ||
        (batch.cull && batch.frontFace != draw.frontFace))
        return false;
    if (draw.kind == Kind::Points && batch.pointSize != draw.pointSize) return false;
    if (batch.texture[1] && draw.texture[1] && batch.texture[1] != draw.texture[1]) return false;
    if (batch.blend && draw.blend)
        return batch.blendSource == draw.blendSource &&
               batch.blendDestination == draw.blendDestination;
    if (batch.blend != draw.blend) {
        // Unblended vertices carry OpaqueFlag, so they may go under the blend.
        const DrawKey& blended = batch.blend ? batch : draw;
        return keepsOpaque(blended.blendSource, blended.blendDestination);
    }
    return true;
}

// The batch takes on what the joining draw adds: its textures, its blend. The
// flags the draw's vertices carry for the slot of its unit 0 texture.
unsigned absorb(Batch& into, const DrawKey& draw) {
    DrawKey& batch = into.key;
    if (!batch.texture[1]) batch.texture[1] = draw.texture[1];
    if (draw.blend && !batch.blend) {
        batch.blend = true;
        batch.blendSource = draw.blendSource;
        batch.blendDestination = draw.blendDestination;
    }
    if (!draw.texture[0]) return 0;
    int slot = slotOf(into, draw.texture[0]);
    if (slot < 0) {
        slot = into.slotCount++;
        into.slots[slot] = draw.texture[0];
    }
    return unsigned(slot) << SlotShift;
}

Batch& newBatch(const DrawKey& key, GLenum mode, int geometry) {
    if (State.batchCount == State.batches.size()) State.batches.emplace_back();
    Batch& batch = State.batches[State.batchCount++];
    batch.key = key;
    batch.mode = mode;
    batch.geometry = geometry;
    batch.first = uint32_t(State.streamVertices.size());
    batch.count = 0;
    batch.instances.clear();
    batch.slotCount = 0;
    return batch;
}

// The key and per-vertex flags of a draw of `kind` in the current state.
DrawKey currentKey(Kind kind, unsigned& flags) {
    DrawKey key;
    key.kind = kind;
    flags = 0;
    if (State.lighting && Fault != FixedFunctionFault::NoLighting) flags |= LitFlag;
    if (State.normalize) flags |= NormalizeFlag;
    for (int unit = 0; unit < Units; ++unit)
        if (State.texturing[unit] && textureComplete(State.boundTexture[unit])) {
            flags |= Texture0Flag << unit;
            key.texture[unit] = State.boundTexture[unit];
        }
    key.blend = State.blend && Fault != FixedFunctionFault::NoBlending;
    if (!key.blend) flags |= OpaqueFlag;
    key.blendSource = State.blendSource;
    key.blendDestination = State.blendDestination;
    key.depthTest = State.depthTest;
    key.depthMask = State.depthMask;
    key.cull = State.cull && kind == Kind::Triangles;
    key.frontFace = State.frontFace;
    key.pointSize = State.pointSize;
    return key;
}

unsigned currentFlags() {
    unsigned flags = 0;
    currentKey(Kind::Triangles, flags);
    return flags;
}

// The last batch when it takes `key`'s stream vertices, else a new one; the
// flags for the slot of the draw's texture in it.
Batch& streamBatch(const DrawKey& key, GLenum mode, unsigned& slotFlags) {
    if (State.batchCount > 0) {
        Batch& last = State.batches[State.batchCount - 1];
        if (last.geometry < 0 && last.mode == mode && joins(last, key)) {
            slotFlags = absorb(last, key);
            return last;
        }
    }
    Batch& batch = newBatch(key, mode, -1);
    slotFlags = absorb(batch, key);
    return batch;
}

Kind kindOf(GLenum mode) {
    return mode == Points                                              ? Kind::Points
           : mode == GL_LINES || mode == LineStrip || mode == LineLoop ? Kind::Lines
                                                                       : Kind::Triangles;
}
} // namespace gles_layer
