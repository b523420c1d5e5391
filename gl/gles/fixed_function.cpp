#include "gl/gles/fixed_function.h"

#include "gl/gl_table.h"
#include "gl/gles/gles_api.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Every call into WebGL crosses from WebAssembly into JavaScript and is
// checked there, so the layer draws in batches: consecutive draws that share
// their state go into one buffer and one draw call. Immediate-mode vertices are
// taken into eye space on the CPU, so that draws under different modelviews
// merge; client arrays are kept once in a static buffer and drawn per
// instance, each with its modelview. State reaches ES only when a batch is
// drawn, and only where it differs from what ES holds.

namespace {
// Enumerants of OpenGL 1.1 the program table does not name but callers may pass.
constexpr GLenum Points = 0x0000, LineLoop = 0x0002, LineStrip = 0x0003;
constexpr GLenum TriangleStrip = 0x0005, TriangleFan = 0x0006, Quads = 0x0007;
constexpr GLenum QuadStrip = 0x0008, Polygon = 0x0009;
constexpr GLenum Flat = 0x1D00, Clamp = 0x2900, Luminance = 0x1909;
constexpr GLenum Nearest = 0x2600, One = 1, Zero = 0;
constexpr GLuint Unknown = ~0u; // an ES binding the layer does not know

using Matrix = std::array<double, 16>; // column-major, as GL keeps it

constexpr int Units = 2;
// A batch may sample up to this many textures on unit 0, each on an ES unit of
// its own (the explosion frames of many flashes); unit 1 goes on the next ES
// unit. Such batches have a program of their own: software renderers
// (SwiftShader) take every branch of the choice for each pixel.
constexpr int Slots = 8;
constexpr int SingleProgram = 0, SlotsProgram = 1;
constexpr size_t StackDepth = 32;
constexpr int ModelviewStack = 0, ProjectionStack = 1, TextureStack = 2; // + unit
// Cached client arrays beyond this many vertices are dropped and cached again.
constexpr size_t StaticVertexLimit = size_t(1) << 22;

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

// Switches the shader reads per vertex or per instance, so that draws that
// differ only in them still share a draw call.
enum VertexFlag : unsigned {
    LitFlag = 1,
    NormalizeFlag = 2,
    Texture0Flag = 4, // Texture0Flag << unit
    OpaqueFlag = 16,  // drawn without blending: alpha 1 under a blend that keeps it
    SlotShift = 5     // above the flags: which of the batch's unit 0 textures
};

// A vertex of the stream buffer, in eye space; texture coordinates have been
// through their matrices (s, t, r, q).
struct Vertex {
    float position[4];
    float normal[3];
    float colour[4];
    float texCoord[Units][4];
    float flags;
};

// A vertex of the static buffer: an element of the client arrays as given.
struct StaticVertex {
    float position[3];
    float normal[3];
    float texCoord[Units][2];
};

// One draw of cached arrays, as the shader's uniform block holds it (seven
// vec4s): its modelview's three rows (affine), the rows of its normal matrix
// with the flags beside the first, and its colour.
struct Instance {
    float modelview[12];
    float normalRows[3][4];
    float colour[4];
};
constexpr int InstanceVectors = sizeof(Instance) / (4 * sizeof(float));
// Instances a draw call takes from the block: 128 of 112 bytes stay within
// the 16 KB every WebGL 2 gives a block, and a range of them starts aligned
// wherever a batch's first one is.
constexpr int BlockInstances = 128;
constexpr size_t BlockBytes = BlockInstances * sizeof(Instance);
static_assert(InstanceVectors == 7 && BlockInstances == 128, "the vertex shader's block");

float& flagsOf(Instance& instance) {
    return instance.normalRows[0][3];
}

enum Attribute : GLuint {
    PositionAttribute,
    NormalAttribute,
    ColourAttribute,
    TexCoordAttribute, // + unit
    FlagsAttribute = TexCoordAttribute + Units
};

struct ClientArray {
    bool enabled = false;
    GLint size = 4;
    GLsizei stride = 0;
    const void* pointer = nullptr;
};

// What the layer knows of a texture name. The program's names are the layer's
// own, each backed by an ES texture, so that a context made again can back
// them with new ones. GL draws an incomplete texture as if the unit were off,
// where ES samples black, so completeness is tracked.
struct TextureRecord {
    GLuint es = 0;
    bool live = false;
    bool hasImage = false;
    bool wantsMipmaps = true; // the default minifying filter uses them
};

enum class Kind : uint8_t { Triangles, Lines, Points };

// The state a batch is drawn with; draws whose keys join share the batch.
struct DrawKey {
    Kind kind = Kind::Triangles;
    bool blend = false, depthTest = false, depthMask = true, cull = false;
    GLenum blendSource = One, blendDestination = Zero, frontFace = GL_CCW;
    GLuint texture[Units] = {}; // program names; 0 where the draw samples nothing
    float pointSize = 1.0f;
};

// A blend that writes the source unchanged where its alpha is 1.
bool keepsOpaque(GLenum source, GLenum destination) {
    return (source == GL_SRC_ALPHA || source == One) &&
           (destination == GL_ONE_MINUS_SRC_ALPHA || destination == Zero);
}

struct Batch {
    DrawKey key; // texture[0] unused: the batch's unit 0 textures are its slots
    GLuint slots[Slots] = {};
    int slotCount = 0;
    GLenum mode = GL_TRIANGLES;
    int geometry = -1;             // cached arrays drawn per instance, or -1: stream vertices
    uint32_t first = 0, count = 0; // stream vertices
    std::vector<Instance> instances;
    size_t instanceOffset = 0; // in bytes in the instance buffer, when drawn
};

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

// Client arrays cached in the static buffer, known by where they lie and what
// their first and last positions hold.
struct Geometry {
    const void* pointer[2 + Units] = {};
    GLint size[2 + Units] = {};
    GLsizei stride[2 + Units] = {};
    GLint first = 0;
    GLsizei count = 0;
    float ends[2][3] = {};
    uint32_t start = 0;   // its first vertex in the static buffer
    uint32_t lastRun = 0; // a cached primitive: how many times it was drawn in a row, last time
};

struct Uniforms {
    GLint projection, lightPosition, lightAmbient, lightDiffuse, lightSpecular, pointSize;
};

std::array<GLuint, Slots + 1> filled(GLuint value) {
    std::array<GLuint, Slots + 1> values;
    values.fill(value);
    return values;
}

// The uniforms a program was last sent.
struct SentUniforms {
    bool known = false;
    float projection[16] = {};
    float light[4][4] = {};
    float pointSize = -1.0f;
};

// What the ES context holds, so that only changes are sent.
struct Applied {
    int blend = -1, depthTest = -1, cull = -1, depthMask = -1;
    GLenum blendSource = Unknown, blendDestination = Unknown, frontFace = Unknown;
    std::array<GLuint, Slots + 1> texture = filled(Unknown); // by ES unit
    int activeUnit = -1;
    GLint viewport[4] = {-1, -1, -1, -1};
    GLuint vertexArray = Unknown, arrayBuffer = Unknown;
    float clearColour[4] = {-1, -1, -1, -1};
    int program = -1;
    SentUniforms sent[2];
};

struct LayerState {
    GLESCalls es = {};
    GLuint program[2] = {}, vertexShader = 0, fragmentShader[2] = {};
    GLuint streamArray = 0, staticArray = 0;                       // vertex array objects
    GLuint streamBuffer = 0, instanceBuffer = 0, staticBuffer = 0; // buffers
    size_t staticCapacity = 0, staticUploaded = 0;                 // in vertices
    Uniforms uniforms[2] = {};
    Applied applied;

    std::array<std::vector<Matrix>, TextureStack + Units> stacks;
    GLenum matrixMode = GL_MODELVIEW;
    int activeUnit = 0, clientUnit = 0;
    // The modelview and texture matrices in float, the normal matrix's rows:
    // made again after a change, before the next vertex.
    bool transformDirty = true, textureDirty = true, normalDirty = true;
    float modelview[16] = {}, normalRows[9] = {}, textureMatrix[Units][16] = {};
    bool affine = true, textureIdentity[Units] = {true, true};
    bool inverseDirty = true;
    Matrix projectionInverse = {};

    bool lighting = false, light0 = false, normalize = false;
    bool texturing[Units] = {};
    GLuint boundTexture[Units] = {};
    float lightAmbient[4] = {0, 0, 0, 1}, lightDiffuse[4] = {1, 1, 1, 1};
    float lightSpecular[4] = {1, 1, 1, 1}, lightPosition[4] = {0, 0, 1, 0}; // eye space
    GLfloat pointSize = 1.0f, lineWidth = 1.0f;
    bool blend = false, depthTest = false, cull = false, depthMask = true;
    GLenum blendSource = One, blendDestination = Zero, frontFace = GL_CCW;
    float clearColour[4] = {0, 0, 0, 0};
    GLint viewport[4] = {0, 0, 0, 0};

    float colour[4] = {1, 1, 1, 1}, normal[3] = {0, 0, 1}, texCoord[Units][2] = {};
    bool inBegin = false;
    GLenum primitive = GL_TRIANGLES;
    unsigned beginFlags = 0;
    // A primitive's vertices as given, taken into eye space at glEnd unless it
    // repeats one drawn before and is drawn as an instance of it.
    struct Corner {
        float position[4], normal[3], colour[4], texCoord[Units][2];
    };
    std::vector<Corner> corners;
    bool dropsClear = false;                      // independent triangles that may vanish
    bool mayInstance = false;                     // the state lets the primitive be an instance
    std::vector<StaticVertex> shape;              // the primitive as a cached copy would hold it
    std::unordered_map<uint64_t, int> shapeIndex; // cached primitives by their hash
    std::unordered_set<uint64_t> shapesSeen;      // primitives seen once, by hash
    int runShape = -1; // the cached primitive drawn last, and how many times in a row
    uint32_t runLength = 0;
    std::vector<Vertex> vertices;  // a primitive's vertices in eye space
    std::vector<Vertex> converted; // split into independent ones

    // Drawn at the next flush, in order.
    std::vector<Vertex> streamVertices;
    std::vector<Batch> batches;
    size_t batchCount = 0;
    size_t opaqueRunStart = 0;         // batches from here on may take opaque draws out of order
    std::vector<uint8_t> instanceData; // the batches' instances, each batch's aligned
    size_t blockAlignment = 256;       // of a uniform block's range

    std::vector<Geometry> geometries;
    std::unordered_map<const void*, std::vector<int>> geometryIndex;
    std::vector<StaticVertex> staticVertices;

    ClientArray vertexArray, normalArray, texCoordArray[Units];
    GLint unpackAlignment = 4, packAlignment = 4;
    std::vector<TextureRecord> textures = std::vector<TextureRecord>(1); // by name
    std::vector<GLuint> freeNames;
    std::vector<uint8_t> pixels; // conversions on upload and read-back

    GLenum error = GL_NO_ERROR;
    std::string vendor, renderer, version;
    int width = 0, height = 0;
};

LayerState State;
FixedFunctionCounts Counts;
FixedFunctionFault Fault = FixedFunctionFault::None;

void raise(GLenum error) {
    if (State.error == GL_NO_ERROR) State.error = error;
}

// The ES unit a program unit's texture goes to (unit 0 by its slot in the
// batch): units 0 and 1 swapped only by the planted fault.
int esUnit(int unit, int slot = 0) {
    if (Fault == FixedFunctionFault::WrongTextureUnit) return unit == 0 ? Slots : 0;
    return unit == 0 ? slot : Slots;
}

bool textureComplete(GLuint name) {
    if (name == 0 || name >= State.textures.size()) return false;
    const TextureRecord& record = State.textures[name];
    return record.hasImage && !record.wantsMipmaps;
}

TextureRecord& recordOf(GLuint name) {
    if (name >= State.textures.size()) State.textures.resize(size_t(name) + 1);
    return State.textures[name];
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

// The normal matrix's rows for the current modelview, made when lighting needs them.
const float* currentNormalRows() {
    if (State.normalDirty) {
        normalRows(State.stacks[ModelviewStack].back(), State.normalRows);
        State.normalDirty = false;
    }
    return State.normalRows;
}

// --- Drawing what is pending ----------------------------------------------------

void bindArrayBuffer(GLuint buffer) {
    if (State.applied.arrayBuffer == buffer) return;
    State.es.BindBuffer(gles::ARRAY_BUFFER, buffer);
    State.applied.arrayBuffer = buffer;
}

void bindVertexArray(GLuint array) {
    if (State.applied.vertexArray == array) return;
    State.es.BindVertexArray(array);
    State.applied.vertexArray = array;
}

void selectUnit(int esIndex) {
    if (State.applied.activeUnit == esIndex) return;
    State.es.ActiveTexture(gles::TEXTURE0 + GLenum(esIndex));
    State.applied.activeUnit = esIndex;
}

void bindOnUnit(int esIndex, GLuint esName) {
    if (State.applied.texture[esIndex] == esName) return;
    selectUnit(esIndex);
    State.es.BindTexture(GL_TEXTURE_2D, esName);
    State.applied.texture[esIndex] = esName;
}

void setCapabilityES(GLenum cap, bool on, int& applied) {
    if (applied == int(on)) return;
    if (on)
        State.es.Enable(cap);
    else
        State.es.Disable(cap);
    applied = on;
}

void applyDepthMask(bool on) {
    if (State.applied.depthMask == int(on)) return;
    State.es.DepthMask(on ? GL_TRUE : GL_FALSE);
    State.applied.depthMask = on;
}

void applyKey(const Batch& batch) {
    const DrawKey& key = batch.key;
    Applied& a = State.applied;
    setCapabilityES(GL_DEPTH_TEST, key.depthTest, a.depthTest);
    applyDepthMask(key.depthMask);
    setCapabilityES(GL_CULL_FACE, key.cull, a.cull);
    if (key.cull && a.frontFace != key.frontFace) {
        State.es.FrontFace(key.frontFace);
        a.frontFace = key.frontFace;
    }
    if (key.blend) {
        setCapabilityES(GL_BLEND, true, a.blend);
        if (a.blendSource != key.blendSource || a.blendDestination != key.blendDestination) {
            State.es.BlendFunc(key.blendSource, key.blendDestination);
            a.blendSource = key.blendSource;
            a.blendDestination = key.blendDestination;
        }
    } else if (!(a.blend == 1 && keepsOpaque(a.blendSource, a.blendDestination))) {
        // An opaque batch may stay under a blend that keeps it as it is.
        setCapabilityES(GL_BLEND, false, a.blend);
    }
    for (int slot = 0; slot < batch.slotCount; ++slot)
        bindOnUnit(esUnit(0, slot), State.textures[batch.slots[slot]].es);
    if (key.texture[1]) bindOnUnit(esUnit(1), State.textures[key.texture[1]].es);
    SentUniforms& sent = a.sent[a.program];
    if (key.kind == Kind::Points && sent.pointSize != key.pointSize) {
        State.es.Uniform1f(State.uniforms[a.program].pointSize, key.pointSize);
        sent.pointSize = key.pointSize;
    }
}

// The program for a batch, with the projection and the light, sent when they
// differ from what it was sent.
void useProgram(int which) {
    Applied& a = State.applied;
    if (a.program != which) {
        State.es.UseProgram(State.program[which]);
        a.program = which;
    }
    const Uniforms& u = State.uniforms[which];
    SentUniforms& sent = a.sent[which];
    float projection[16];
    const Matrix& p = State.stacks[ProjectionStack].back();
    for (size_t k = 0; k < 16; ++k)
        projection[k] = float(p[k]);
    if (!sent.known || std::memcmp(projection, sent.projection, sizeof projection) != 0) {
        State.es.UniformMatrix4fv(u.projection, 1, GL_FALSE, projection);
        std::memcpy(sent.projection, projection, sizeof projection);
    }
    static const float dark[4] = {0, 0, 0, 0};
    const float* light[4] = {State.lightPosition, State.light0 ? State.lightAmbient : dark,
                             State.light0 ? State.lightDiffuse : dark,
                             State.light0 ? State.lightSpecular : dark};
    const GLint locations[4] = {u.lightPosition, u.lightAmbient, u.lightDiffuse, u.lightSpecular};
    for (int k = 0; k < 4; ++k)
        if (!sent.known || std::memcmp(light[k], sent.light[k], sizeof sent.light[k]) != 0) {
            State.es.Uniform4fv(locations[k], 1, light[k]);
            std::memcpy(sent.light[k], light[k], sizeof sent.light[k]);
        }
    sent.known = true;
}

void applyViewport() {
    Applied& a = State.applied;
    GLint* v = a.viewport;
    if (std::memcmp(v, State.viewport, sizeof State.viewport) != 0) {
        State.es.Viewport(State.viewport[0], State.viewport[1], State.viewport[2],
                          State.viewport[3]);
        std::memcpy(v, State.viewport, sizeof State.viewport);
    }
}

void uploadStaticVertices() {
    const size_t size = State.staticVertices.size();
    if (size == State.staticUploaded) return;
    bindArrayBuffer(State.staticBuffer);
    const StaticVertex* data = State.staticVertices.data();
    if (size > State.staticCapacity) {
        State.staticCapacity = std::max(size, State.staticCapacity * 2);
        State.es.BufferData(gles::ARRAY_BUFFER, GLsizeiptr(State.staticCapacity * sizeof *data),
                            nullptr, gles::STATIC_DRAW);
        State.staticUploaded = 0;
    }
    State.es.BufferSubData(gles::ARRAY_BUFFER, GLintptr(State.staticUploaded * sizeof *data),
                           GLsizeiptr((size - State.staticUploaded) * sizeof *data),
                           data + State.staticUploaded);
    State.staticUploaded = size;
}

// Draws every pending batch: one upload of the stream vertices and one of the
// instances, then per batch the state that changed and one draw call.
void flushPending() {
    if (State.batchCount == 0) return;
    const GLESCalls& es = State.es;
    applyViewport();
    if (!State.streamVertices.empty()) {
        bindArrayBuffer(State.streamBuffer);
        es.BufferData(gles::ARRAY_BUFFER, GLsizeiptr(State.streamVertices.size() * sizeof(Vertex)),
                      State.streamVertices.data(), gles::STREAM_DRAW);
    }
    // Each batch's instances from an aligned offset; the buffer reaches a whole
    // block past the last one, as a bound range must.
    std::vector<uint8_t>& data = State.instanceData;
    data.clear();
    size_t end = 0;
    for (size_t b = 0; b < State.batchCount; ++b) {
        Batch& batch = State.batches[b];
        if (batch.geometry < 0) continue;
        const size_t align = State.blockAlignment;
        batch.instanceOffset = (data.size() + align - 1) / align * align;
        const size_t bytes = batch.instances.size() * sizeof(Instance);
        data.resize(batch.instanceOffset + bytes);
        std::memcpy(data.data() + batch.instanceOffset, batch.instances.data(), bytes);
        const size_t blocks = (batch.instances.size() + BlockInstances - 1) / BlockInstances;
        end = batch.instanceOffset + blocks * BlockBytes;
    }
    if (end > 0) {
        uploadStaticVertices();
        data.resize(end);
        es.BindBuffer(gles::UNIFORM_BUFFER, State.instanceBuffer);
        es.BufferData(gles::UNIFORM_BUFFER, GLsizeiptr(data.size()), data.data(),
                      gles::STREAM_DRAW);
    }
    for (size_t b = 0; b < State.batchCount; ++b) {
        Batch& batch = State.batches[b];
        useProgram(batch.slotCount > 1 ? SlotsProgram : SingleProgram);
        applyKey(batch);
        ++Counts.esDraws;
        if (batch.geometry < 0) {
            bindVertexArray(State.streamArray);
            es.DrawArrays(batch.mode, GLint(batch.first), GLsizei(batch.count));
        } else {
            const Geometry& g = State.geometries[size_t(batch.geometry)];
            bindVertexArray(State.staticArray);
            for (size_t first = 0; first < batch.instances.size(); first += BlockInstances) {
                const size_t count =
                    std::min(batch.instances.size() - first, size_t(BlockInstances));
                es.BindBufferRange(gles::UNIFORM_BUFFER, 0, State.instanceBuffer,
                                   GLintptr(batch.instanceOffset + first * sizeof(Instance)),
                                   GLsizeiptr(BlockBytes));
                es.DrawArraysInstanced(batch.mode, GLint(g.start), g.count, GLsizei(count));
            }
        }
        batch.instances.clear();
    }
    State.streamVertices.clear();
    State.batchCount = 0;
    State.opaqueRunStart = 0;
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

void transformVertex(Vertex& v, const float in[4], const float normal[3], const float colour[4],
                     const float texCoord[Units][2], unsigned flags) {
    const float* m = State.modelview;
    for (int row = 0; row < 4; ++row)
        v.position[row] =
            m[row] * in[0] + m[4 + row] * in[1] + m[8 + row] * in[2] + m[12 + row] * in[3];
    if (flags & LitFlag) {
        const float* n = currentNormalRows();
        for (int row = 0; row < 3; ++row)
            v.normal[row] =
                n[row * 3] * normal[0] + n[row * 3 + 1] * normal[1] + n[row * 3 + 2] * normal[2];
    } else {
        v.normal[0] = v.normal[1] = v.normal[2] = 0.0f;
    }
    std::memcpy(v.colour, colour, sizeof v.colour);
    for (int unit = 0; unit < Units; ++unit) {
        float* out = v.texCoord[unit];
        if (!(flags & (Texture0Flag << unit))) {
            out[0] = out[1] = out[2] = 0.0f, out[3] = 1.0f;
            continue;
        }
        const float s = texCoord[unit][0], t = texCoord[unit][1];
        if (State.textureIdentity[unit]) {
            out[0] = s, out[1] = t, out[2] = 0.0f, out[3] = 1.0f;
            continue;
        }
        const float* tm = State.textureMatrix[unit];
        for (int row = 0; row < 4; ++row)
            out[row] = tm[row] * s + tm[4 + row] * t + tm[12 + row];
    }
    v.flags = float(flags);
}

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

// Eye-space vertices in a GL 1.1 mode, as independent triangles, lines or
// points, into the stream.
void appendPrimitive(GLenum mode, const std::vector<Vertex>& in) {
    std::vector<Vertex>& out = State.converted;
    out.clear();
    const size_t n = in.size();
    Kind kind = Kind::Triangles;
    switch (mode) {
    case Points:
        kind = Kind::Points;
        out = in;
        break;
    case GL_LINES:
    case LineStrip:
    case LineLoop:
        kind = Kind::Lines;
        if (mode == GL_LINES) {
            out.assign(in.begin(), in.begin() + std::ptrdiff_t(n & ~size_t(1)));
        } else {
            for (size_t k = 0; k + 1 < n; ++k)
                out.insert(out.end(), {in[k], in[k + 1]});
            if (mode == LineLoop && n > 2) out.insert(out.end(), {in[n - 1], in[0]});
        }
        break;
    case GL_TRIANGLES:
        out.assign(in.begin(), in.begin() + std::ptrdiff_t(n - n % 3));
        break;
    case TriangleStrip:
        // Every second triangle turned back, so that all keep the strip's facing.
        for (size_t k = 0; k + 2 < n; ++k)
            if (k % 2)
                out.insert(out.end(), {in[k + 1], in[k], in[k + 2]});
            else
                out.insert(out.end(), {in[k], in[k + 1], in[k + 2]});
        break;
    case TriangleFan:
    case Polygon:
        for (size_t k = 1; k + 1 < n; ++k)
            out.insert(out.end(), {in[0], in[k], in[k + 1]});
        break;
    case Quads:
    case QuadStrip: {
        const size_t step = mode == Quads ? 4 : 2;
        for (size_t k = 0; k + 3 < n; k += step) {
            // A quad strip's quad runs 0, 1, 3, 2.
            const Vertex& a = in[k];
            const Vertex& b = in[k + 1];
            const Vertex& c = in[mode == Quads ? k + 2 : k + 3];
            const Vertex& d = in[mode == Quads ? k + 3 : k + 2];
            out.insert(out.end(), {a, b, c, a, c, d});
        }
        break;
    }
    default:
        raise(gles::INVALID_ENUM);
        return;
    }
    unsigned flags = 0;
    DrawKey key = currentKey(kind, flags);
    if (kind == Kind::Lines && drawnLineWidth() > 1.0f) {
        // WebGL draws lines one pixel wide only.
        std::vector<Vertex> segments;
        segments.swap(out);
        appendWideLines(segments, out);
        key.kind = kind = Kind::Triangles;
        key.cull = false; // lines have no face to cull
    }
    if (out.empty()) return;
    const GLenum esMode = kind == Kind::Points  ? gles::POINTS
                          : kind == Kind::Lines ? GL_LINES
                                                : GL_TRIANGLES;
    unsigned slotFlags = 0;
    Batch& batch = streamBatch(key, esMode, slotFlags);
    if (slotFlags)
        for (Vertex& v : out)
            v.flags += float(slotFlags);
    State.streamVertices.insert(State.streamVertices.end(), out.begin(), out.end());
    batch.count += uint32_t(out.size());
    State.opaqueRunStart = State.batchCount;
}

// --- Client arrays ---------------------------------------------------------

// Element `index` of a float client array, `count` values at most.
void fetch(const ClientArray& array, GLint index, float* out, int count) {
    const size_t stride = array.stride ? size_t(array.stride) : size_t(array.size) * sizeof(float);
    const auto* base = static_cast<const uint8_t*>(array.pointer) + size_t(index) * stride;
    const int n = array.size < count ? array.size : count;
    std::memcpy(out, base, size_t(n) * sizeof(float));
}

bool arrayOn(const ClientArray& array) {
    return array.enabled && array.pointer;
}

// The cached copy of the arrays' elements first .. first + count - 1, made when
// missing; -1 when they cannot be cached.
int cachedGeometry(GLint first, GLsizei count) {
    const ClientArray* arrays[2 + Units] = {&State.vertexArray, &State.normalArray,
                                            &State.texCoordArray[0], &State.texCoordArray[1]};
    Geometry wanted;
    for (int k = 0; k < 2 + Units; ++k)
        if (arrayOn(*arrays[k])) {
            wanted.pointer[k] = arrays[k]->pointer;
            wanted.size[k] = arrays[k]->size;
            wanted.stride[k] = arrays[k]->stride;
        }
    wanted.first = first;
    wanted.count = count;
    fetch(State.vertexArray, first, wanted.ends[0], 3);
    fetch(State.vertexArray, first + count - 1, wanted.ends[1], 3);
    auto same = [&](const Geometry& g) {
        for (int k = 0; k < 2 + Units; ++k)
            if (g.pointer[k] != wanted.pointer[k] || g.size[k] != wanted.size[k] ||
                g.stride[k] != wanted.stride[k])
                return false;
        return g.first == first && g.count == count &&
               std::memcmp(g.ends, wanted.ends, sizeof g.ends) == 0;
    };
    std::vector<int>& known = State.geometryIndex[wanted.pointer[0]];
    for (int index : known)
        if (same(State.geometries[size_t(index)])) return index;

    if (State.staticVertices.size() + size_t(count) > StaticVertexLimit) {
        forgetFixedFunctionArrays();
        return cachedGeometry(first, count);
    }
    wanted.start = uint32_t(State.staticVertices.size());
    for (GLsizei k = 0; k < count; ++k) {
        StaticVertex v = {};
        fetch(State.vertexArray, first + k, v.position, 3);
        if (wanted.pointer[1]) fetch(State.normalArray, first + k, v.normal, 3);
        for (int unit = 0; unit < Units; ++unit)
            if (wanted.pointer[2 + unit])
                fetch(State.texCoordArray[unit], first + k, v.texCoord[unit], 2);
        State.staticVertices.push_back(v);
    }
    State.geometries.push_back(wanted);
    const int index = int(State.geometries.size() - 1);
    State.geometryIndex[wanted.pointer[0]].push_back(index);
    return index;
}

Kind kindOf(GLenum mode) {
    return mode == Points                                              ? Kind::Points
           : mode == GL_LINES || mode == LineStrip || mode == LineLoop ? Kind::Lines
                                                                       : Kind::Triangles;
}

void addInstance(int geometry, GLenum mode, const DrawKey& key, unsigned flags,
                 const float colour[4]);

// A draw of client arrays as instances of their cached copy; false when it
// must go through the stream instead.
bool drawInstanced(GLenum mode, GLint first, GLsizei count) {
    if (mode > TriangleFan || !State.affine || State.vertexArray.size > 3) return false;
    const Kind kind = kindOf(mode);
    if (kind == Kind::Lines && drawnLineWidth() > 1.0f) return false;
    unsigned flags = 0;
    const DrawKey key = currentKey(kind, flags);
    if ((flags & LitFlag) && !arrayOn(State.normalArray)) return false;
    for (int unit = 0; unit < Units; ++unit)
        if ((flags & (Texture0Flag << unit)) &&
            (!State.textureIdentity[unit] || !arrayOn(State.texCoordArray[unit]) ||
             State.texCoordArray[unit].size > 2))
            return false;
    addInstance(cachedGeometry(first, count), mode, key, flags, State.colour);
    return true;
}

// A draw of cached geometry under the current modelview, colour and state:
// into the last batch, or for opaque draws any batch of their run, that
// draws the same geometry in a state it joins; else into a new batch.
void addInstance(int geometry, GLenum mode, const DrawKey& key, unsigned flags,
                 const float colour[4]) {
    Instance instance;
    const float* m = State.modelview;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            instance.modelview[row * 4 + column] = m[column * 4 + row];
    const float* n = (flags & LitFlag) ? currentNormalRows() : nullptr;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            instance.normalRows[row][column] = n && column < 3 ? n[row * 3 + column] : 0.0f;
    std::memcpy(instance.colour, colour, sizeof instance.colour);
    flagsOf(instance) = float(flags);

    // Opaque draws that write depth come out the same in any order (but for
    // exact ties in depth), so they join any batch of their run.
    const bool opaque = !key.blend && key.depthTest && key.depthMask;
    const size_t from =
        opaque ? State.opaqueRunStart : (State.batchCount > 0 ? State.batchCount - 1 : 0);
    for (size_t b = from; b < State.batchCount; ++b) {
        Batch& batch = State.batches[b];
        if (batch.geometry == geometry && batch.mode == mode && joins(batch, key)) {
            flagsOf(instance) += float(absorb(batch, key));
            batch.instances.push_back(instance);
            if (!opaque) State.opaqueRunStart = State.batchCount;
            return;
        }
    }
    if (!opaque) State.opaqueRunStart = State.batchCount + 1;
    Batch& batch = newBatch(key, mode, geometry);
    flagsOf(instance) += float(absorb(batch, key));
    batch.instances.push_back(instance);
}
} // namespace

namespace {
// Drops every cached copy of arrays and primitives; what is drawn next is
// cached again.
void forgetCachedGeometry() {
    State.geometries.clear();
    State.geometryIndex.clear();
    State.shapeIndex.clear();
    State.shapesSeen.clear();
    State.runShape = -1;
    State.staticVertices.clear();
    State.staticUploaded = 0;
}
} // namespace

void forgetFixedFunctionArrays() {
    flushPending();
    forgetCachedGeometry();
}

void flushFixedFunctionLayer() {
    flushPending();
}

namespace {
// --- Shaders and buffers ------------------------------------------------------

const char* VertexShader = R"(#version 300 es
// Stream vertices come in eye space with their colour and flags; cached
// arrays come as given, with flags below zero (the attribute is off), and
// take their draw's rows, flags and colour from the block, per instance.
in vec4 position;
in vec3 normal;
in vec4 colour;
in vec4 texCoord0;
in vec4 texCoord1;
in float flags;
layout(std140) uniform Instances {
    vec4 instanceRows[7 * 128];
};
uniform mat4 projection;
uniform vec4 lightPosition; // eye space
uniform vec4 lightAmbient;
uniform vec4 lightDiffuse;
uniform vec4 lightSpecular;
uniform float pointSize;
out vec4 frontColour;
out vec3 coord0;
out vec3 coord1;
flat out int switches;

// GL's default material and scene ambient: the program never changes them.
const vec3 materialAmbient = vec3(0.2);
const vec3 materialDiffuse = vec3(0.8);
const vec3 materialSpecular = vec3(0.0);
const vec3 sceneAmbient = vec3(0.2);

void main() {
    vec4 eye = position;
    vec3 n = normal;
    vec4 given = colour;
    float switchesGiven = flags;
    if (flags < 0.0) {
        int at = gl_InstanceID * 7;
        eye = vec4(dot(instanceRows[at], position), dot(instanceRows[at + 1], position),
                   dot(instanceRows[at + 2], position), position.w);
        n = vec3(dot(instanceRows[at + 3].xyz, normal), dot(instanceRows[at + 4].xyz, normal),
                 dot(instanceRows[at + 5].xyz, normal));
        switchesGiven = instanceRows[at + 3].w;
        given = instanceRows[at + 6];
    }
    gl_Position = projection * eye;
    gl_PointSize = pointSize;
    int f = int(switchesGiven + 0.5);
    if ((f & 1) != 0) {
        // Per vertex, as GL lights: the normal as transformed, unit length only on request.
        if ((f & 2) != 0) n = normalize(n);
        vec3 toLight = lightPosition.w == 0.0
            ? normalize(lightPosition.xyz)
            : normalize(lightPosition.xyz / lightPosition.w - eye.xyz / eye.w);
        float facing = dot(n, toLight);
        vec3 lit = sceneAmbient * materialAmbient + lightAmbient.rgb * materialAmbient +
                   max(facing, 0.0) * lightDiffuse.rgb * materialDiffuse;
        // The shininess is 0, so the highlight's power term is 1 wherever the light reaches.
        if (facing > 0.0) lit += lightSpecular.rgb * materialSpecular;
        frontColour = vec4(clamp(lit, 0.0, 1.0), 1.0);
    } else {
        frontColour = clamp(given, 0.0, 1.0);
    }
    coord0 = texCoord0.xyw;
    coord1 = texCoord1.xyw;
    switches = f;
}
)";

// The fragment shader, with a branch per slot: ES 3.0 indexes sampler arrays
// only with constants.
std::string fragmentShader(int slotCount) {
    std::string choice = "    return textureProj(samplers[0], coord);\n";
    if (slotCount > 1) {
        choice = "    switch (slot) {\n";
        for (int slot = 0; slot < slotCount; ++slot)
            choice += "    case " + std::to_string(slot) + ": return textureProj(samplers[" +
                      std::to_string(slot) + "], coord);\n";
        choice += "    }\n    return vec4(1.0);\n";
    }
    return R"(#version 300 es
precision highp float;
in vec4 frontColour;
in vec3 coord0;
in vec3 coord1;
flat in int switches;
uniform sampler2D samplers[)" +
           std::to_string(slotCount) + R"(];
uniform sampler2D sampler1;
out vec4 fragmentColour;

vec4 unit0(int slot, vec3 coord) {
)" + choice +
           R"(}

void main() {
    // MODULATE on each enabled unit in turn.
    vec4 c = frontColour;
    if ((switches & 4) != 0) c *= unit0(switches >> 5, coord0);
    if ((switches & 8) != 0) c *= textureProj(sampler1, coord1);
    // Drawn without blending but under a blend that keeps alpha 1 as it is.
    if ((switches & 16) != 0) c.a = 1.0;
    fragmentColour = c;
}
)";
}

GLuint compileShader(GLenum type, const char* source, const char* what, std::string& error) {
    const GLESCalls& es = State.es;
    GLuint shader = es.CreateShader(type);
    es.ShaderSource(shader, 1, &source, nullptr);
    es.CompileShader(shader);
    GLint compiled = 0;
    es.GetShaderiv(shader, gles::COMPILE_STATUS, &compiled);
    if (compiled) return shader;
    GLint length = 0;
    es.GetShaderiv(shader, gles::INFO_LOG_LENGTH, &length);
    std::string log(size_t(length > 1 ? length : 1), '\0');
    es.GetShaderInfoLog(shader, GLsizei(log.size()), nullptr, log.data());
    error = std::string("the fixed-function layer's ") + what +
            " shader does not compile: " + log.c_str();
    es.DeleteShader(shader);
    return 0;
}

bool linkProgram(int which, std::string& error) {
    const GLESCalls& es = State.es;
    const std::string fragment = fragmentShader(which == SlotsProgram ? Slots : 1);
    State.fragmentShader[which] =
        compileShader(gles::FRAGMENT_SHADER, fragment.c_str(), "fragment", error);
    if (!State.fragmentShader[which]) return false;
    const GLuint p = State.program[which] = es.CreateProgram();
    es.AttachShader(p, State.vertexShader);
    es.AttachShader(p, State.fragmentShader[which]);
    const std::pair<GLuint, const char*> attributes[] = {
        {PositionAttribute, "position"},      {NormalAttribute, "normal"},
        {ColourAttribute, "colour"},          {TexCoordAttribute, "texCoord0"},
        {TexCoordAttribute + 1, "texCoord1"}, {FlagsAttribute, "flags"}};
    for (const auto& [index, name] : attributes)
        es.BindAttribLocation(p, index, name);
    es.LinkProgram(p);
    GLint linked = 0;
    es.GetProgramiv(p, gles::LINK_STATUS, &linked);
    if (!linked) {
        GLint length = 0;
        es.GetProgramiv(p, gles::INFO_LOG_LENGTH, &length);
        std::string log(size_t(length > 1 ? length : 1), '\0');
        es.GetProgramInfoLog(p, GLsizei(log.size()), nullptr, log.data());
        error = std::string("the fixed-function layer's shaders do not link: ") + log.c_str();
        return false;
    }
    Uniforms& u = State.uniforms[which];
    u.projection = es.GetUniformLocation(p, "projection");
    u.lightPosition = es.GetUniformLocation(p, "lightPosition");
    u.lightAmbient = es.GetUniformLocation(p, "lightAmbient");
    u.lightDiffuse = es.GetUniformLocation(p, "lightDiffuse");
    u.lightSpecular = es.GetUniformLocation(p, "lightSpecular");
    u.pointSize = es.GetUniformLocation(p, "pointSize");
    const GLuint block = es.GetUniformBlockIndex(p, "Instances");
    if (block != gles::INVALID_INDEX) es.UniformBlockBinding(p, block, 0);
    es.UseProgram(p);
    const int slots = which == SlotsProgram ? Slots : 1;
    for (int slot = 0; slot < slots; ++slot)
        es.Uniform1i(es.GetUniformLocation(p, ("samplers[" + std::to_string(slot) + "]").c_str()),
                     slot);
    es.Uniform1i(es.GetUniformLocation(p, "sampler1"), Slots);
    return true;
}

bool buildProgram(std::string& error) {
    State.vertexShader = compileShader(gles::VERTEX_SHADER, VertexShader, "vertex", error);
    return State.vertexShader && linkProgram(SingleProgram, error) &&
           linkProgram(SlotsProgram, error);
}

// Two vertex array objects: the stream's, whose per-instance rows stay at the
// identity (generic values), and the cached arrays', whose colour, flags and
// rows come per instance.
void makeBuffers() {
    const GLESCalls& es = State.es;
    GLuint buffers[3] = {};
    es.GenBuffers(3, buffers);
    State.streamBuffer = buffers[0];
    State.instanceBuffer = buffers[1];
    State.staticBuffer = buffers[2];
    State.staticCapacity = State.staticUploaded = 0;
    GLuint arrays[2] = {};
    es.GenVertexArrays(2, arrays);
    State.streamArray = arrays[0];
    State.staticArray = arrays[1];

    auto attribute = [&](GLuint index, GLint size, GLsizei stride, size_t offset) {
        es.VertexAttribPointer(index, size, GL_FLOAT, GL_FALSE, stride,
                               reinterpret_cast<const void*>(offset));
        es.EnableVertexAttribArray(index);
    };
    es.BindVertexArray(State.streamArray);
    es.BindBuffer(gles::ARRAY_BUFFER, State.streamBuffer);
    const GLsizei stride = sizeof(Vertex);
    attribute(PositionAttribute, 4, stride, offsetof(Vertex, position));
    attribute(NormalAttribute, 3, stride, offsetof(Vertex, normal));
    attribute(ColourAttribute, 4, stride, offsetof(Vertex, colour));
    for (int unit = 0; unit < Units; ++unit)
        attribute(TexCoordAttribute + GLuint(unit), 4, stride,
                  offsetof(Vertex, texCoord) + size_t(unit) * 4 * sizeof(float));
    attribute(FlagsAttribute, 1, stride, offsetof(Vertex, flags));

    es.BindVertexArray(State.staticArray);
    es.BindBuffer(gles::ARRAY_BUFFER, State.staticBuffer);
    const GLsizei staticStride = sizeof(StaticVertex);
    attribute(PositionAttribute, 3, staticStride, offsetof(StaticVertex, position));
    attribute(NormalAttribute, 3, staticStride, offsetof(StaticVertex, normal));
    for (int unit = 0; unit < Units; ++unit)
        attribute(TexCoordAttribute + GLuint(unit), 2, staticStride,
                  offsetof(StaticVertex, texCoord) + size_t(unit) * 2 * sizeof(float));
    // Off here, so the shader reads the generic value: below zero, "per instance".
    es.VertexAttrib4f(FlagsAttribute, -1.0f, 0.0f, 0.0f, 1.0f);
    GLint alignment = 0;
    es.GetIntegerv(gles::UNIFORM_BUFFER_OFFSET_ALIGNMENT, &alignment);
    // Any power of two up to 2 KB divides a block's 14,336 bytes.
    State.blockAlignment = alignment > 0 && alignment <= 2048 ? size_t(alignment) : 256;
    // WebGL refuses any draw of a program whose block has no range bound, even
    // one that reads none of it: the stream's draws before the first instance.
    es.BindBuffer(gles::UNIFORM_BUFFER, State.instanceBuffer);
    es.BufferData(gles::UNIFORM_BUFFER, GLsizeiptr(BlockBytes), nullptr, gles::STREAM_DRAW);
    es.BindBufferRange(gles::UNIFORM_BUFFER, 0, State.instanceBuffer, 0, GLsizeiptr(BlockBytes));
    State.applied.vertexArray = State.staticArray;
    State.applied.arrayBuffer = State.staticBuffer;
}

// Bytes a row of `width` pixels of `components` bytes takes under an alignment.
size_t rowBytes(GLsizei width, int components, GLint alignment) {
    const size_t bytes = size_t(width) * size_t(components);
    const size_t align = alignment > 0 ? size_t(alignment) : 1;
    return (bytes + align - 1) / align * align;
}

int componentsOf(GLenum format) {
    switch (format) {
    case GL_RGB:
    case GL_BGR_EXT:
        return 3;
    case GL_RGBA:
    case GL_BGRA_EXT:
        return 4;
    case Luminance:
        return 1;
    default:
        return 0;
    }
}

// The colour of one pixel in a client format, as red, green, blue, alpha.
void readPixel(const uint8_t* p, GLenum format, uint8_t rgba[4]) {
    switch (format) {
    case GL_RGB:
        rgba[0] = p[0], rgba[1] = p[1], rgba[2] = p[2], rgba[3] = 255;
        break;
    case GL_BGR_EXT:
        rgba[0] = p[2], rgba[1] = p[1], rgba[2] = p[0], rgba[3] = 255;
        break;
    case GL_RGBA:
        rgba[0] = p[0], rgba[1] = p[1], rgba[2] = p[2], rgba[3] = p[3];
        break;
    case GL_BGRA_EXT:
        rgba[0] = p[2], rgba[1] = p[1], rgba[2] = p[0], rgba[3] = p[3];
        break;
    default:
        rgba[0] = rgba[1] = rgba[2] = p[0], rgba[3] = 255;
        break;
    }
}

// The program's texture on the active unit, bound on its ES unit for an upload.
bool bindForUpload() {
    const GLuint name = State.boundTexture[State.activeUnit];
    if (name == 0) return false; // WebGL has no texture object 0 to change
    bindOnUnit(esUnit(State.activeUnit), recordOf(name).es);
    return true;
}

// A new ES texture behind a program name.
void backName(GLuint name) {
    TextureRecord& record = recordOf(name);
    record = TextureRecord();
    record.live = true;
    State.es.GenTextures(1, &record.es);
}

// Changes to the projection, the light or the viewport: what is pending is
// drawn with the values it was given first.
void globalsChanging() {
    flushPending();
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

// The layer's own OpenGL 1.1 entry points, one per table row.

GLboolean KGL_APIENTRY ff_glAreTexturesResident(GLsizei n, const GLuint* textures,
                                                GLboolean* residences) {
    // A texture is resident while it holds its image; after the context was
    // made again none does until the program uploads it once more.
    bool all = true;
    for (GLsizei i = 0; i < n; ++i) {
        const GLuint name = textures[i];
        all = all && name < State.textures.size() && State.textures[name].hasImage;
    }
    if (all) return GL_TRUE;
    for (GLsizei i = 0; i < n; ++i) {
        const GLuint name = textures[i];
        residences[i] = name < State.textures.size() && State.textures[name].hasImage;
    }
    return GL_FALSE;
}

// Under this blend, with depth writes off and colours unlit, a triangle whose
// corners are all wholly transparent changes no pixel: most of a shield
// bubble's triangles are such, until something hits it.
bool clearTrianglesVanish() {
    return State.primitive == GL_TRIANGLES && State.blend && !State.depthMask &&
           !(State.beginFlags & LitFlag) && State.blendSource == GL_SRC_ALPHA &&
           (State.blendDestination == GL_ONE_MINUS_SRC_ALPHA || State.blendDestination == One);
}

// Whether a primitive begun now could be drawn as an instance of a cached copy.
bool primitiveMayInstance() {
    const GLenum mode = State.primitive;
    if (mode > TriangleFan || !State.affine) return false;
    if (kindOf(mode) == Kind::Lines && drawnLineWidth() > 1.0f) return false;
    for (int unit = 0; unit < Units; ++unit)
        if ((State.beginFlags & (Texture0Flag << unit)) && !State.textureIdentity[unit])
            return false;
    return true;
}

void KGL_APIENTRY ff_glBegin(GLenum mode) {
    if (State.inBegin) return raise(gles::INVALID_OPERATION);
    State.inBegin = true;
    State.primitive = mode;
    State.corners.clear();
    refreshTransform();
    State.beginFlags = currentFlags();
    State.dropsClear = clearTrianglesVanish();
    State.mayInstance = primitiveMayInstance();
}

uint64_t hashShape(const std::vector<StaticVertex>& shape) {
    // FNV-1a over 32-bit words.
    uint64_t hash = 14695981039346656037ull;
    const size_t words = shape.size() * sizeof(StaticVertex) / sizeof(uint32_t);
    const auto* data = reinterpret_cast<const uint32_t*>(shape.data());
    for (size_t k = 0; k < words; ++k)
        hash = (hash ^ data[k]) * 1099511628211ull;
    return hash ^ shape.size();
}

constexpr int Vanishes = -2;

// The cached copy of the primitive just ended, when it has been drawn before:
// every vertex in one colour, and the same positions and, where the draw
// reads them, normals and texture coordinates. -1 otherwise; a primitive seen
// twice is cached, so shapes drawn once (beams) are never kept. Vanishes when
// the whole primitive is clear triangles that change no pixel.
int cachedShape() {
    const std::vector<LayerState::Corner>& corners = State.corners;
    if (corners.size() < 3) return -1;
    const float* colour = corners[0].colour;
    const bool lit = State.beginFlags & LitFlag;
    if (State.runShape >= 0 && !(State.dropsClear && colour[3] <= 0.0f)) {
        // Most often the primitive repeats the one before: compared in place.
        const Geometry& g = State.geometries[size_t(State.runShape)];
        if (size_t(g.count) == corners.size()) {
            const StaticVertex* v = &State.staticVertices[g.start];
            bool same = true;
            for (size_t k = 0; same && k < corners.size(); ++k) {
                const LayerState::Corner& c = corners[k];
                same = std::memcmp(c.colour, colour, sizeof c.colour) == 0 &&
                       c.position[3] == 1.0f &&
                       std::memcmp(c.position, v[k].position, sizeof v[k].position) == 0 &&
                       (!lit || std::memcmp(c.normal, v[k].normal, sizeof v[k].normal) == 0);
                for (int unit = 0; same && unit < Units; ++unit)
                    same = !(State.beginFlags & (Texture0Flag << unit)) ||
                           std::memcmp(c.texCoord[unit], v[k].texCoord[unit],
                                       sizeof v[k].texCoord[unit]) == 0;
            }
            if (same) return State.runShape;
        }
    }
    std::vector<StaticVertex>& shape = State.shape;
    shape.resize(corners.size());
    for (size_t k = 0; k < corners.size(); ++k) {
        const LayerState::Corner& c = corners[k];
        if (std::memcmp(c.colour, colour, sizeof c.colour) != 0 || c.position[3] != 1.0f) return -1;
        StaticVertex& v = shape[k];
        std::memcpy(v.position, c.position, sizeof v.position);
        if (lit)
            std::memcpy(v.normal, c.normal, sizeof v.normal);
        else
            v.normal[0] = v.normal[1] = v.normal[2] = 0.0f;
        for (int unit = 0; unit < Units; ++unit)
            if (State.beginFlags & (Texture0Flag << unit))
                std::memcpy(v.texCoord[unit], c.texCoord[unit], sizeof v.texCoord[unit]);
            else
                v.texCoord[unit][0] = v.texCoord[unit][1] = 0.0f;
    }
    if (State.dropsClear && colour[3] <= 0.0f) return Vanishes;
    const uint64_t hash = hashShape(shape);
    const auto known = State.shapeIndex.find(hash);
    if (known != State.shapeIndex.end()) {
        const Geometry& g = State.geometries[size_t(known->second)];
        const bool same = size_t(g.count) == shape.size() &&
                          std::memcmp(&State.staticVertices[g.start], shape.data(),
                                      shape.size() * sizeof(StaticVertex)) == 0;
        return same ? known->second : -1;
    }
    if (State.shapesSeen.size() > 4096) State.shapesSeen.clear();
    if (State.shapesSeen.insert(hash).second) return -1;
    if (State.staticVertices.size() + shape.size() > StaticVertexLimit) return -1;
    Geometry g;
    g.count = GLsizei(shape.size());
    g.start = uint32_t(State.staticVertices.size());
    State.staticVertices.insert(State.staticVertices.end(), shape.begin(), shape.end());
    State.geometries.push_back(g);
    const int index = int(State.geometries.size() - 1);
    State.shapeIndex.emplace(hash, index);
    return index;
}

// A primitive drawn as a run of instances saves taking every vertex into eye
// space and sending it, but a batch of instances costs more calls than a batch
// of stream vertices and does not merge with other primitives.
constexpr uint32_t LongRun = 16;

void noteRun(int shape) {
    if (shape >= 0 && shape == State.runShape) {
        ++State.runLength;
        return;
    }
    if (State.runShape >= 0 && size_t(State.runShape) < State.geometries.size())
        State.geometries[size_t(State.runShape)].lastRun = State.runLength;
    State.runShape = shape;
    State.runLength = 1;
}

// Whether a cached primitive goes in as an instance: it continues a batch of
// its instances, or its runs are long.
bool instanceTakes(int shape) {
    if (State.batchCount > 0) {
        const Batch& last = State.batches[State.batchCount - 1];
        if (last.geometry == shape && last.mode == State.primitive) return true;
    }
    return std::max(State.geometries[size_t(shape)].lastRun, State.runLength) >= LongRun;
}

// The primitive's vertices into eye space; under a blend where clear
// triangles vanish, those are left out.
void transformCorners() {
    const std::vector<LayerState::Corner>& corners = State.corners;
    State.vertices.resize(corners.size());
    size_t out = 0;
    for (size_t k = 0; k < corners.size(); ++k) {
        if (State.dropsClear && k % 3 == 0 && k + 2 < corners.size()) {
            const auto clear = [&](size_t i) { return corners[i].colour[3] <= 0.0f; };
            if (clear(k) && clear(k + 1) && clear(k + 2)) {
                k += 2;
                continue;
            }
        }
        const LayerState::Corner& c = corners[k];
        transformVertex(State.vertices[out++], c.position, c.normal, c.colour, c.texCoord,
                        State.beginFlags);
    }
    State.vertices.resize(out);
}

void KGL_APIENTRY ff_glEnd() {
    if (!State.inBegin) return raise(gles::INVALID_OPERATION);
    State.inBegin = false;
    ++Counts.draws;
    if (State.mayInstance) {
        const int shape = cachedShape();
        if (shape == Vanishes) return;
        noteRun(shape);
        if (shape >= 0 && instanceTakes(shape)) {
            unsigned flags = 0;
            const DrawKey key = currentKey(kindOf(State.primitive), flags);
            addInstance(shape, State.primitive, key, flags, State.corners[0].colour);
            return;
        }
    }
    transformCorners();
    appendPrimitive(State.primitive, State.vertices);
}

void KGL_APIENTRY ff_glBindTexture(GLenum target, GLuint texture) {
    if (target != GL_TEXTURE_2D) return raise(gles::INVALID_ENUM);
    if (texture != 0 && !recordOf(texture).live) {
        // GL makes a texture of a name bound before it was generated.
        for (size_t k = 0; k < State.freeNames.size(); ++k)
            if (State.freeNames[k] == texture) {
                State.freeNames.erase(State.freeNames.begin() + std::ptrdiff_t(k));
                break;
            }
        backName(texture);
    }
    State.boundTexture[State.activeUnit] = texture;
}

void KGL_APIENTRY ff_glBlendFunc(GLenum sfactor, GLenum dfactor) {
    State.blendSource = sfactor;
    State.blendDestination = dfactor;
}

void KGL_APIENTRY ff_glClear(GLbitfield mask) {
    flushPending();
    Applied& a = State.applied;
    if (mask & GL_DEPTH_BUFFER_BIT) applyDepthMask(State.depthMask);
    if ((mask & GL_COLOR_BUFFER_BIT) &&
        std::memcmp(a.clearColour, State.clearColour, sizeof a.clearColour) != 0) {
        State.es.ClearColor(State.clearColour[0], State.clearColour[1], State.clearColour[2],
                            State.clearColour[3]);
        std::memcpy(a.clearColour, State.clearColour, sizeof a.clearColour);
    }
    State.es.Clear(mask);
}

void KGL_APIENTRY ff_glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    const float colour[4] = {red, green, blue, alpha};
    for (int k = 0; k < 4; ++k)
        State.clearColour[k] = colour[k] < 0 ? 0 : colour[k] > 1 ? 1 : colour[k];
}

void KGL_APIENTRY ff_glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
    State.colour[0] = red, State.colour[1] = green, State.colour[2] = blue;
    State.colour[3] = alpha;
}

void KGL_APIENTRY ff_glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    ff_glColor4f(red, green, blue, 1.0f);
}

void KGL_APIENTRY ff_glDeleteTextures(GLsizei n, const GLuint* textures) {
    if (n < 0) return raise(gles::INVALID_VALUE);
    flushPending();
    std::vector<GLuint> gone;
    for (GLsizei i = 0; i < n; ++i) {
        const GLuint name = textures[i];
        if (name == 0 || name >= State.textures.size() || !State.textures[name].live) continue;
        TextureRecord& record = State.textures[name];
        gone.push_back(record.es);
        for (GLuint& applied : State.applied.texture)
            if (applied == record.es) applied = Unknown;
        // A deleted texture that was bound leaves its unit with texture 0, as in GL.
        for (GLuint& bound : State.boundTexture)
            if (bound == name) bound = 0;
        record = TextureRecord();
        State.freeNames.push_back(name);
    }
    if (!gone.empty()) State.es.DeleteTextures(GLsizei(gone.size()), gone.data());
}

void KGL_APIENTRY ff_glDepthMask(GLboolean flag) {
    State.depthMask = flag != GL_FALSE;
}

void setCapability(GLenum cap, bool on) {
    switch (cap) {
    case GL_LIGHTING:
        State.lighting = on;
        break;
    case GL_LIGHT0:
        if (State.light0 != on) globalsChanging();
        State.light0 = on;
        break;
    case GL_NORMALIZE:
        State.normalize = on;
        break;
    case GL_TEXTURE_2D:
        State.texturing[State.activeUnit] = on;
        break;
    case GL_BLEND:
        State.blend = on && Fault != FixedFunctionFault::NoBlending;
        break;
    case GL_DEPTH_TEST:
        State.depthTest = on;
        break;
    case GL_CULL_FACE:
        State.cull = on;
        break;
    default:
        // Other lights, fog and the like: the program does not use them.
        if (cap < GL_LIGHT0 || cap > GL_LIGHT0 + 7) raise(gles::INVALID_ENUM);
        break;
    }
}

void KGL_APIENTRY ff_glEnable(GLenum cap) {
    setCapability(cap, true);
}

void KGL_APIENTRY ff_glDisable(GLenum cap) {
    setCapability(cap, false);
}

ClientArray* clientArray(GLenum array) {
    switch (array) {
    case GL_VERTEX_ARRAY:
        return &State.vertexArray;
    case GL_NORMAL_ARRAY:
        return &State.normalArray;
    case GL_TEXTURE_COORD_ARRAY:
        return &State.texCoordArray[State.clientUnit];
    default:
        raise(gles::INVALID_ENUM);
        return nullptr;
    }
}

void KGL_APIENTRY ff_glEnableClientState(GLenum array) {
    if (ClientArray* a = clientArray(array)) a->enabled = true;
}

void KGL_APIENTRY ff_glDrawArrays(GLenum mode, GLint first, GLsizei count) {
    if (first < 0 || count < 0) return raise(gles::INVALID_VALUE);
    if (mode > Polygon) return raise(gles::INVALID_ENUM);
    if (!arrayOn(State.vertexArray) || count == 0) return;
    refreshTransform();
    ++Counts.draws;
    if (drawInstanced(mode, first, count)) return;
    // Otherwise the arrays are read now and taken into eye space.
    const unsigned flags = currentFlags();
    State.vertices.resize(size_t(count));
    for (GLsizei k = 0; k < count; ++k) {
        float position[4] = {0, 0, 0, 1}, normal[3], texCoord[Units][2] = {};
        fetch(State.vertexArray, first + k, position, 4);
        if (arrayOn(State.normalArray))
            fetch(State.normalArray, first + k, normal, 3);
        else
            std::memcpy(normal, State.normal, sizeof normal);
        for (int unit = 0; unit < Units; ++unit) {
            if (arrayOn(State.texCoordArray[unit]))
                fetch(State.texCoordArray[unit], first + k, texCoord[unit], 2);
            else
                std::memcpy(texCoord[unit], State.texCoord[unit], sizeof texCoord[unit]);
        }
        transformVertex(State.vertices[size_t(k)], position, normal, State.colour, texCoord, flags);
    }
    appendPrimitive(mode, State.vertices);
}

void KGL_APIENTRY ff_glFinish() {
    flushPending();
    State.es.Finish();
}

void KGL_APIENTRY ff_glFlush() {
    // The batches go to ES; the browser or the swap sends ES's work on.
    flushPending();
}

void KGL_APIENTRY ff_glFrontFace(GLenum mode) {
    State.frontFace = mode;
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

void KGL_APIENTRY ff_glGenTextures(GLsizei n, GLuint* textures) {
    if (n < 0) return raise(gles::INVALID_VALUE);
    for (GLsizei i = 0; i < n; ++i) {
        GLuint name = GLuint(State.textures.size());
        if (!State.freeNames.empty()) {
            name = State.freeNames.back();
            State.freeNames.pop_back();
        }
        backName(name);
        textures[i] = name;
    }
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

GLenum KGL_APIENTRY ff_glGetError() {
    const GLenum own = State.error;
    State.error = GL_NO_ERROR;
    return own != GL_NO_ERROR ? own : State.es.GetError();
}

const GLubyte* KGL_APIENTRY ff_glGetString(GLenum name) {
    const char* text = nullptr;
    switch (name) {
    case GL_VENDOR:
        text = State.vendor.c_str();
        break;
    case GL_RENDERER:
        text = State.renderer.c_str();
        break;
    case GL_VERSION:
        text = State.version.c_str();
        break;
    case GL_EXTENSIONS:
        text = "GL_ARB_multitexture";
        break;
    default:
        raise(gles::INVALID_ENUM);
        break;
    }
    return reinterpret_cast<const GLubyte*>(text);
}

void KGL_APIENTRY ff_glLightModeli(GLenum, GLint) {
    // Only the one-sided model is drawn, which is the one the scene asks for.
}

void KGL_APIENTRY ff_glLightfv(GLenum light, GLenum pname, const GLfloat* params) {
    if (light != GL_LIGHT0) return; // one light is all the scene has
    float* target = nullptr;
    switch (pname) {
    case GL_AMBIENT:
        target = State.lightAmbient;
        break;
    case GL_DIFFUSE:
        target = State.lightDiffuse;
        break;
    case GL_SPECULAR:
        target = State.lightSpecular;
        break;
    case GL_POSITION:
        target = State.lightPosition;
        break;
    default:
        return; // spot and attenuation keep their defaults
    }
    globalsChanging();
    if (pname != GL_POSITION) {
        std::memcpy(target, params, 4 * sizeof(float));
        return;
    }
    // Kept in eye space, through the modelview of the moment, as GL does.
    const Matrix& m = State.stacks[ModelviewStack].back();
    for (int row = 0; row < 4; ++row) {
        double sum = 0.0;
        for (int k = 0; k < 4; ++k)
            sum += m[k * 4 + row] * params[k];
        target[row] = float(sum);
    }
}

void KGL_APIENTRY ff_glLineWidth(GLfloat width) {
    if (!(width > 0)) return raise(gles::INVALID_VALUE);
    State.lineWidth = width;
}

void KGL_APIENTRY ff_glLoadIdentity() {
    changingStack().back() = identity();
}

void KGL_APIENTRY ff_glMatrixMode(GLenum mode) {
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION && mode != GL_TEXTURE)
        return raise(gles::INVALID_ENUM);
    State.matrixMode = mode;
}

void KGL_APIENTRY ff_glNormal3f(GLfloat nx, GLfloat ny, GLfloat nz) {
    State.normal[0] = nx, State.normal[1] = ny, State.normal[2] = nz;
}

void KGL_APIENTRY ff_glNormalPointer(GLenum type, GLsizei stride, const GLvoid* pointer) {
    if (type != GL_FLOAT) return raise(gles::INVALID_ENUM); // the program's arrays are float
    State.normalArray.size = 3;
    State.normalArray.stride = stride;
    State.normalArray.pointer = pointer;
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

void KGL_APIENTRY ff_glPixelStorei(GLenum pname, GLint param) {
    // Kept here: uploads and read-backs are converted, ES always sees tight rows.
    if (param != 1 && param != 2 && param != 4 && param != 8) return raise(gles::INVALID_VALUE);
    if (pname == GL_UNPACK_ALIGNMENT)
        State.unpackAlignment = param;
    else if (pname == GL_PACK_ALIGNMENT)
        State.packAlignment = param;
    else
        raise(gles::INVALID_ENUM);
}

void KGL_APIENTRY ff_glPointSize(GLfloat size) {
    if (size <= 0) return raise(gles::INVALID_VALUE);
    State.pointSize = size;
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

void KGL_APIENTRY ff_glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                                  GLenum type, GLvoid* pixels) {
    const int components = componentsOf(format);
    if (components < 3 || (type != GL_UNSIGNED_BYTE && type != GL_FLOAT))
        return raise(gles::INVALID_ENUM);
    if (width < 0 || height < 0) return raise(gles::INVALID_VALUE);
    flushPending();
    // ES reads RGBA bytes; the program's format and type are made from them.
    std::vector<uint8_t>& rgba = State.pixels;
    rgba.resize(size_t(width) * size_t(height) * 4);
    State.es.ReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    const size_t size = type == GL_FLOAT ? sizeof(float) : 1;
    const size_t row = rowBytes(width, components * int(size), State.packAlignment);
    const bool bgr = format == GL_BGR_EXT || format == GL_BGRA_EXT;
    for (GLsizei j = 0; j < height; ++j)
        for (GLsizei i = 0; i < width; ++i) {
            const uint8_t* from = &rgba[(size_t(j) * size_t(width) + size_t(i)) * 4];
            const uint8_t ordered[4] = {from[bgr ? 2 : 0], from[1], from[bgr ? 0 : 2], from[3]};
            uint8_t* to = static_cast<uint8_t*>(pixels) + size_t(j) * row +
                          size_t(i) * size_t(components) * size;
            for (int c = 0; c < components; ++c) {
                if (type == GL_FLOAT) {
                    const float value = ordered[c] / 255.0f;
                    std::memcpy(to + size_t(c) * sizeof(float), &value, sizeof value);
                } else {
                    to[c] = ordered[c];
                }
            }
        }
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

void KGL_APIENTRY ff_glShadeModel(GLenum mode) {
    // Smooth shading is what the scene asks for; flat is accepted and drawn smooth.
    if (mode != GL_SMOOTH && mode != Flat) raise(gles::INVALID_ENUM);
}

void KGL_APIENTRY ff_glTexCoord2f(GLfloat s, GLfloat t) {
    State.texCoord[0][0] = s, State.texCoord[0][1] = t;
}

void KGL_APIENTRY ff_glTexCoordPointer(GLint size, GLenum type, GLsizei stride,
                                       const GLvoid* pointer) {
    if (type != GL_FLOAT) return raise(gles::INVALID_ENUM);
    ClientArray& array = State.texCoordArray[State.clientUnit];
    array.size = size, array.stride = stride, array.pointer = pointer;
}

void KGL_APIENTRY ff_glTexEnvf(GLenum, GLenum, GLfloat) {
    // MODULATE, GL's default, is the only mode the program sets and the one drawn.
}

void KGL_APIENTRY ff_glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width,
                                  GLsizei height, GLint border, GLenum format, GLenum type,
                                  const GLvoid* pixels) {
    const int from = componentsOf(format);
    int to = internalformat == GL_RGB ? 3 : internalformat == GL_RGBA ? 4 : internalformat;
    if (target != GL_TEXTURE_2D || from == 0 || type != GL_UNSIGNED_BYTE)
        return raise(gles::INVALID_ENUM);
    if (to != 3 && to != 4) return raise(gles::INVALID_VALUE);
    if (width < 0 || height < 0 || border != 0 || level < 0) return raise(gles::INVALID_VALUE);
    // Draws before the upload see the texture as it was.
    flushPending();
    // ES has no BGR order and takes the format the texture is stored in.
    std::vector<uint8_t>& converted = State.pixels;
    const void* data = nullptr;
    if (pixels) {
        converted.resize(size_t(width) * size_t(height) * size_t(to));
        const size_t row = rowBytes(width, from, State.unpackAlignment);
        for (GLsizei j = 0; j < height; ++j)
            for (GLsizei i = 0; i < width; ++i) {
                uint8_t rgba[4];
                readPixel(static_cast<const uint8_t*>(pixels) + size_t(j) * row +
                              size_t(i) * size_t(from),
                          format, rgba);
                std::memcpy(&converted[(size_t(j) * size_t(width) + size_t(i)) * size_t(to)], rgba,
                            size_t(to));
            }
        data = converted.data();
    }
    if (!bindForUpload()) return; // as for glTexParameterf
    const GLenum esFormat = to == 3 ? GL_RGB : GL_RGBA;
    State.es.TexImage2D(GL_TEXTURE_2D, level, GLint(esFormat), width, height, 0, esFormat,
                        GL_UNSIGNED_BYTE, data);
    if (level == 0) recordOf(State.boundTexture[State.activeUnit]).hasImage = true;
}

void KGL_APIENTRY ff_glTexParameterf(GLenum target, GLenum pname, GLfloat param) {
    if (target != GL_TEXTURE_2D) return raise(gles::INVALID_ENUM);
    GLint value = GLint(param);
    if (value == GLint(Clamp)) value = GLint(gles::CLAMP_TO_EDGE); // ES lacks the border variant
    flushPending();
    if (pname == GL_TEXTURE_MIN_FILTER)
        recordOf(State.boundTexture[State.activeUnit]).wantsMipmaps =
            value != GLint(GL_LINEAR) && value != GLint(Nearest);
    if (bindForUpload()) State.es.TexParameteri(GL_TEXTURE_2D, pname, value);
}

void KGL_APIENTRY ff_glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    const double r[9] = {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    const double t[3] = {x, y, z};
    multiplyCurrentAffine(r, t);
}

void KGL_APIENTRY ff_glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (!State.inBegin) return; // outside glBegin GL leaves the result undefined
    State.corners.emplace_back();
    LayerState::Corner& c = State.corners.back();
    c.position[0] = x, c.position[1] = y, c.position[2] = z, c.position[3] = 1.0f;
    std::memcpy(c.normal, State.normal, sizeof c.normal);
    std::memcpy(c.colour, State.colour, sizeof c.colour);
    std::memcpy(c.texCoord, State.texCoord, sizeof c.texCoord);
}

void KGL_APIENTRY ff_glVertex2f(GLfloat x, GLfloat y) {
    ff_glVertex3f(x, y, 0.0f);
}

void KGL_APIENTRY ff_glVertexPointer(GLint size, GLenum type, GLsizei stride,
                                     const GLvoid* pointer) {
    if (type != GL_FLOAT) return raise(gles::INVALID_ENUM);
    State.vertexArray.size = size, State.vertexArray.stride = stride;
    State.vertexArray.pointer = pointer;
}

void KGL_APIENTRY ff_glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (width < 0 || height < 0) return raise(gles::INVALID_VALUE);
    const GLint viewport[4] = {x, y, width, height};
    if (std::memcmp(viewport, State.viewport, sizeof viewport) == 0) return;
    globalsChanging();
    std::memcpy(State.viewport, viewport, sizeof viewport);
}

int unitOf(GLenum texture) {
    const int unit = int(texture) - int(GL_TEXTURE0_ARB);
    if (unit < 0 || unit >= Units) {
        raise(gles::INVALID_ENUM);
        return -1;
    }
    return unit;
}

void KGL_APIENTRY ff_glActiveTextureARB(GLenum texture) {
    const int unit = unitOf(texture);
    if (unit >= 0) State.activeUnit = unit;
}

void KGL_APIENTRY ff_glClientActiveTextureARB(GLenum texture) {
    const int unit = unitOf(texture);
    if (unit >= 0) State.clientUnit = unit;
}

void KGL_APIENTRY ff_glMultiTexCoord2fARB(GLenum target, GLfloat s, GLfloat t) {
    const int unit = unitOf(target);
    if (unit < 0) return;
    State.texCoord[unit][0] = s, State.texCoord[unit][1] = t;
}

bool bindES(GLESLookup lookup, std::string& error) {
    std::string missing;
#define KGLES_BIND(ret, name, params)                                                              \
    State.es.name = reinterpret_cast<ret(KGL_APIENTRY*) params>(lookup("gl" #name));               \
    if (!State.es.name) missing += std::string(missing.empty() ? "" : ", ") + "gl" #name;
    KGLES_FUNCTIONS(KGLES_BIND)
#undef KGLES_BIND
    if (missing.empty()) return true;
    error = "the OpenGL ES 3 context lacks " + missing;
    return false;
}

std::string esString(GLenum name) {
    const GLubyte* text = State.es.GetString(name);
    return text ? reinterpret_cast<const char*>(text) : "an unnamed OpenGL ES 3 driver";
}

// The ES objects of a fresh context: the program, the buffers, the unpacking.
bool makeESObjects(std::string& error) {
    State.applied = Applied();
    if (!buildProgram(error)) return false;
    makeBuffers();
    State.es.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    return true;
}
} // namespace

bool installFixedFunctionLayer(GLESLookup lookup, std::string& error) {
    releaseFixedFunctionLayer();
    if (!lookup || !bindES(lookup, error)) {
        if (!lookup) error = "no way to look OpenGL ES 3 functions up";
        State.es = GLESCalls();
        return false;
    }
    if (!makeESObjects(error)) {
        releaseFixedFunctionLayer();
        return false;
    }
    for (std::vector<Matrix>& stack : State.stacks)
        stack.assign(1, identity());
    State.transformDirty = State.textureDirty = State.inverseDirty = true;
    State.vendor = "Kestrion";
    State.renderer = "Kestrion fixed-function layer over " + esString(GL_RENDERER);
    State.version = "1.1 Kestrion fixed-function layer over " + esString(GL_VERSION);
    if (State.width > 0 && State.height > 0) {
        const GLint viewport[4] = {0, 0, State.width, State.height};
        std::memcpy(State.viewport, viewport, sizeof viewport);
    }

#define KGL_CORE(ret, name, params, args) name = ff_##name;
#define KGL_EXT KGL_CORE
#include "gl/gl_functions.inc"
#undef KGL_CORE
#undef KGL_EXT
    return true;
}

bool restoreFixedFunctionLayer(std::string& error) {
    if (!State.es.CreateProgram) {
        error = "the fixed-function layer was never installed";
        return false;
    }
    // The old context's objects are gone with it; nothing pending can be drawn.
    State.batchCount = 0;
    State.opaqueRunStart = 0;
    State.streamVertices.clear();
    forgetCachedGeometry();
    State.program[0] = State.program[1] = State.vertexShader = 0;
    State.fragmentShader[0] = State.fragmentShader[1] = 0;
    if (!makeESObjects(error)) return false;
    for (size_t name = 1; name < State.textures.size(); ++name)
        if (State.textures[name].live) backName(GLuint(name));
    return true;
}

FixedFunctionCounts fixedFunctionCounts() {
    return Counts;
}

void setFixedFunctionFramebufferSize(int width, int height) {
    State.width = width;
    State.height = height;
    if (State.program[0]) ff_glViewport(0, 0, width, height);
}

void releaseFixedFunctionLayer() {
    const GLESCalls& es = State.es;
    for (int which : {SingleProgram, SlotsProgram}) {
        if (State.program[which]) es.DeleteProgram(State.program[which]);
        if (State.fragmentShader[which]) es.DeleteShader(State.fragmentShader[which]);
    }
    if (State.vertexShader) es.DeleteShader(State.vertexShader);
    const GLuint buffers[3] = {State.streamBuffer, State.instanceBuffer, State.staticBuffer};
    if (State.streamBuffer) es.DeleteBuffers(3, buffers);
    const GLuint arrays[2] = {State.streamArray, State.staticArray};
    if (State.streamArray) es.DeleteVertexArrays(2, arrays);
    const int width = State.width, height = State.height;
    State = LayerState();
    State.width = width, State.height = height;
    clearGLTable();
}

void plantFixedFunctionFault(FixedFunctionFault fault) {
    Fault = fault;
}
