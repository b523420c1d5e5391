// The fixed-function layer's state, in one record: what the program set
// through its GL 1.1 calls, what the ES context holds, the batches waiting to
// be drawn and the cached copies they draw from. Each part of the layer takes
// the fields of its own concern; the records they share are defined here.
#pragma once
#include "gl/gl_table.h"
#include "gl/gles/fixed_function.h"
#include "gl/gles/gles_api.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace gles_layer {

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

inline float& flagsOf(Instance& instance) {
    return instance.normalRows[0][3];
}

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

inline std::array<GLuint, Slots + 1> filled(GLuint value) {
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
    // The ES calls and objects (shaders.cpp) and what the context holds (flush.cpp).
    GLESCalls es = {};
    GLuint program[2] = {}, vertexShader = 0, fragmentShader[2] = {};
    GLuint streamArray = 0, staticArray = 0;                       // vertex array objects
    GLuint streamBuffer = 0, instanceBuffer = 0, staticBuffer = 0; // buffers
    size_t staticCapacity = 0, staticUploaded = 0;                 // in vertices
    Uniforms uniforms[2] = {};
    Applied applied;

    // The matrices (matrices.cpp).
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

    // The state the program set, which makes a draw's key (batches.cpp).
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

    // Immediate mode (primitives.cpp).
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
    bool dropsClear = false;       // independent triangles that may vanish
    bool mayInstance = false;      // the state lets the primitive be an instance
    std::vector<Vertex> vertices;  // a primitive's vertices in eye space
    std::vector<Vertex> converted; // split into independent ones
    // The primitive cache (caches.cpp) and its runs (instances.cpp).
    std::vector<StaticVertex> shape;              // the primitive as a cached copy would hold it
    std::unordered_map<uint64_t, int> shapeIndex; // cached primitives by their hash
    std::unordered_set<uint64_t> shapesSeen;      // primitives seen once, by hash
    int runShape = -1; // the cached primitive drawn last, and how many times in a row
    uint32_t runLength = 0;

    // Drawn at the next flush, in order (batches.cpp, flush.cpp).
    std::vector<Vertex> streamVertices;
    std::vector<Batch> batches;
    size_t batchCount = 0;
    size_t opaqueRunStart = 0;         // batches from here on may take opaque draws out of order
    std::vector<uint8_t> instanceData; // the batches' instances, each batch's aligned
    size_t blockAlignment = 256;       // of a uniform block's range

    // The cached copies in the static buffer (caches.cpp).
    std::vector<Geometry> geometries;
    std::unordered_map<const void*, std::vector<int>> geometryIndex;
    std::vector<StaticVertex> staticVertices;

    // The client arrays (primitives.cpp).
    ClientArray vertexArray, normalArray, texCoordArray[Units];

    // Textures and pixel transfers (textures.cpp).
    GLint unpackAlignment = 4, packAlignment = 4;
    std::vector<TextureRecord> textures = std::vector<TextureRecord>(1); // by name
    std::vector<GLuint> freeNames;
    std::vector<uint8_t> pixels; // conversions on upload and read-back

    GLenum error = GL_NO_ERROR;
    std::string vendor, renderer, version;
    int width = 0, height = 0;
};

// The one state of the layer, its draw counts and its planted fault
// (fixed_function.cpp).
extern LayerState State;
extern FixedFunctionCounts Counts;
extern FixedFunctionFault Fault;

inline void raise(GLenum error) {
    if (State.error == GL_NO_ERROR) State.error = error;
}

// The ES unit a program unit's texture goes to (unit 0 by its slot in the
// batch): units 0 and 1 swapped only by the planted fault.
inline int esUnit(int unit, int slot = 0) {
    if (Fault == FixedFunctionFault::WrongTextureUnit) return unit == 0 ? Slots : 0;
    return unit == 0 ? slot : Slots;
}

inline int unitOf(GLenum texture) {
    const int unit = int(texture) - int(GL_TEXTURE0_ARB);
    if (unit < 0 || unit >= Units) {
        raise(gles::INVALID_ENUM);
        return -1;
    }
    return unit;
}
} // namespace gles_layer
