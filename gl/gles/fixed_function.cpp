#include "gl/gles/fixed_function.h"

#include "gl/gl_table.h"
#include "gl/gles/gles_api.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {
// Enumerants of OpenGL 1.1 the program table does not name but callers may pass.
constexpr GLenum TriangleFan = 0x0006, Quads = 0x0007;
constexpr GLenum QuadStrip = 0x0008, Polygon = 0x0009;
constexpr GLenum Flat = 0x1D00, Clamp = 0x2900, Luminance = 0x1909;
constexpr GLenum Nearest = 0x2600;

using Matrix = std::array<double, 16>; // column-major, as GL keeps it

constexpr int Units = 2;
constexpr size_t StackDepth = 32;
constexpr int ModelviewStack = 0, ProjectionStack = 1, TextureStack = 2; // + unit

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

// One vertex as the shader reads it; immediate mode and client arrays both
// end up as a run of these in the one stream buffer.
struct Vertex {
    float position[3];
    float normal[3];
    float colour[4];
    float texCoord[Units][2];
};

enum Attribute : GLuint { PositionAttribute, NormalAttribute, ColourAttribute, TexCoordAttribute };

struct ClientArray {
    bool enabled = false;
    GLint size = 4;
    GLsizei stride = 0;
    const void* pointer = nullptr;
};

// What the layer knows of a texture name: GL draws an incomplete texture as if
// the unit were off, where ES samples black, so completeness is tracked.
struct TextureRecord {
    bool hasImage = false;
    bool wantsMipmaps = true; // the default minifying filter uses them
};

struct Uniforms {
    GLint modelviewProjection, modelview, normalMatrix, textureMatrix[Units];
    GLint lighting, normalize, lightPosition, lightAmbient, lightDiffuse, lightSpecular;
    GLint texturing[Units], sampler[Units], pointSize;
};

// Uniform groups, sent again only when their state changed.
enum DirtyGroup : unsigned { MatricesDirty = 1, TextureMatricesDirty = 2, SettingsDirty = 4 };

struct LayerState {
    GLESCalls es = {};
    GLuint program = 0, vertexShader = 0, fragmentShader = 0, vertexArrayObject = 0;
    GLuint streamBuffer = 0;
    Uniforms uniforms = {};
    unsigned dirty = ~0u; // the uniform groups to send before the next draw

    std::array<std::vector<Matrix>, TextureStack + Units> stacks;
    GLenum matrixMode = GL_MODELVIEW;
    int activeUnit = 0, clientUnit = 0;

    bool lighting = false, light0 = false, normalize = false;
    bool texturing[Units] = {};
    GLuint boundTexture[Units] = {};
    float lightAmbient[4] = {0, 0, 0, 1}, lightDiffuse[4] = {1, 1, 1, 1};
    float lightSpecular[4] = {1, 1, 1, 1}, lightPosition[4] = {0, 0, 1, 0}; // eye space
    GLfloat pointSize = 1.0f;

    float colour[4] = {1, 1, 1, 1}, normal[3] = {0, 0, 1}, texCoord[Units][2] = {};
    bool inBegin = false;
    GLenum primitive = GL_TRIANGLES;
    std::vector<Vertex> vertices;  // immediate mode, then reused for client arrays
    std::vector<Vertex> triangles; // quads and polygons split up

    ClientArray vertexArray, normalArray, texCoordArray[Units];
    GLint unpackAlignment = 4, packAlignment = 4;
    std::vector<TextureRecord> textures; // by name
    std::vector<uint8_t> pixels;         // conversions on upload and read-back

    GLenum error = GL_NO_ERROR;
    std::string vendor, renderer, version;
    int width = 0, height = 0;
};

LayerState State;
FixedFunctionFault Fault = FixedFunctionFault::None;

void raise(GLenum error) {
    if (State.error == GL_NO_ERROR) State.error = error;
}

// The stack glMatrixMode picked; the texture stack is the active unit's.
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

void matrixChanged() {
    State.dirty |= State.matrixMode == GL_TEXTURE ? TextureMatricesDirty : MatricesDirty;
}

void multiplyCurrent(const Matrix& m) {
    Matrix& top = currentStack().back();
    top = multiply(top, m);
    matrixChanged();
}

// The ES unit a program unit's binds go to: swapped only by the planted fault.
GLenum esUnit(int unit) {
    const int physical = Fault == FixedFunctionFault::WrongTextureUnit ? Units - 1 - unit : unit;
    return gles::TEXTURE0 + GLenum(physical);
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

// The inverse transpose of the modelview's upper 3x3, for normals (column-major).
std::array<float, 9> normalMatrix(const Matrix& m) {
    const double a = m[0], b = m[4], c = m[8], d = m[1], e = m[5], f = m[9], g = m[2], h = m[6],
                 i = m[10];
    const double cofactor[9] = {e * i - f * h,    -(d * i - f * g), d * h - e * g,
                                -(b * i - c * h), a * i - c * g,    -(a * h - b * g),
                                b * f - c * e,    -(a * f - c * d), a * e - b * d};
    const double determinant = a * cofactor[0] + b * cofactor[1] + c * cofactor[2];
    const double scale = determinant != 0.0 ? 1.0 / determinant : 0.0;
    // The inverse transpose is the cofactor matrix over the determinant; cofactor
    // holds row-major entries, so row r, column c goes to [c * 3 + r].
    std::array<float, 9> n = {};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            n[size_t(column * 3 + row)] = float(cofactor[row * 3 + column] * scale);
    return n;
}

std::array<float, 16> toFloat(const Matrix& m) {
    std::array<float, 16> f = {};
    for (size_t k = 0; k < 16; ++k)
        f[k] = float(m[k]);
    return f;
}

void sendUniforms() {
    const GLESCalls& es = State.es;
    const Uniforms& u = State.uniforms;
    if (State.dirty & MatricesDirty) {
        const Matrix& modelview = State.stacks[ModelviewStack].back();
        const Matrix& projection = State.stacks[ProjectionStack].back();
        es.UniformMatrix4fv(u.modelviewProjection, 1, GL_FALSE,
                            toFloat(multiply(projection, modelview)).data());
        es.UniformMatrix4fv(u.modelview, 1, GL_FALSE, toFloat(modelview).data());
        es.UniformMatrix3fv(u.normalMatrix, 1, GL_FALSE, normalMatrix(modelview).data());
    }
    if (State.dirty & TextureMatricesDirty)
        for (int unit = 0; unit < Units; ++unit)
            es.UniformMatrix4fv(u.textureMatrix[unit], 1, GL_FALSE,
                                toFloat(State.stacks[size_t(TextureStack + unit)].back()).data());
    if (State.dirty & SettingsDirty) {
        const bool lit = State.lighting && Fault != FixedFunctionFault::NoLighting;
        es.Uniform1i(u.lighting, lit ? 1 : 0);
        es.Uniform1i(u.normalize, State.normalize ? 1 : 0);
        static const float dark[4] = {0, 0, 0, 0};
        es.Uniform4fv(u.lightPosition, 1, State.lightPosition);
        es.Uniform4fv(u.lightAmbient, 1, State.light0 ? State.lightAmbient : dark);
        es.Uniform4fv(u.lightDiffuse, 1, State.light0 ? State.lightDiffuse : dark);
        es.Uniform4fv(u.lightSpecular, 1, State.light0 ? State.lightSpecular : dark);
        for (int unit = 0; unit < Units; ++unit) {
            const bool on = State.texturing[unit] && textureComplete(State.boundTexture[unit]);
            es.Uniform1i(u.texturing[unit], on ? 1 : 0);
        }
        es.Uniform1f(u.pointSize, State.pointSize);
    }
    State.dirty = 0;
}

// Draws vertices in a GL 1.1 mode: quads, quad strips and polygons become
// triangles, the rest are ES modes already.
void drawVertices(GLenum mode, const std::vector<Vertex>& vertices) {
    const std::vector<Vertex>* drawn = &vertices;
    GLenum esMode = mode;
    if (mode == Quads || mode == QuadStrip) {
        State.triangles.clear();
        const size_t step = mode == Quads ? 4 : 2;
        for (size_t k = 0; k + 3 < vertices.size(); k += step) {
            // A quad strip's quad runs 0, 1, 3, 2.
            const Vertex& a = vertices[k];
            const Vertex& b = vertices[k + 1];
            const Vertex& c = vertices[mode == Quads ? k + 2 : k + 3];
            const Vertex& d = vertices[mode == Quads ? k + 3 : k + 2];
            State.triangles.insert(State.triangles.end(), {a, b, c, a, c, d});
        }
        drawn = &State.triangles;
        esMode = GL_TRIANGLES;
    } else if (mode == Polygon) {
        esMode = TriangleFan;
    } else if (mode > TriangleFan) {
        raise(gles::INVALID_ENUM);
        return;
    }
    if (drawn->empty()) return;
    const GLESCalls& es = State.es;
    if (State.dirty) sendUniforms();
    es.BindBuffer(gles::ARRAY_BUFFER, State.streamBuffer);
    es.BufferData(gles::ARRAY_BUFFER, GLsizeiptr(drawn->size() * sizeof(Vertex)), drawn->data(),
                  gles::STREAM_DRAW);
    es.DrawArrays(esMode, 0, GLsizei(drawn->size()));
}

const char* VertexShader = R"(#version 300 es
in vec3 position;
in vec3 normal;
in vec4 colour;
in vec2 texCoord0;
in vec2 texCoord1;
uniform mat4 modelviewProjection;
uniform mat4 modelview;
uniform mat3 normalMatrix;
uniform mat4 textureMatrix0;
uniform mat4 textureMatrix1;
uniform bool lighting;
uniform bool normalizeNormals;
uniform vec4 lightPosition; // eye space
uniform vec4 lightAmbient;
uniform vec4 lightDiffuse;
uniform vec4 lightSpecular;
uniform float pointSize;
out vec4 frontColour;
out vec3 coord0;
out vec3 coord1;

// GL's default material and scene ambient: the program never changes them.
const vec3 materialAmbient = vec3(0.2);
const vec3 materialDiffuse = vec3(0.8);
const vec3 materialSpecular = vec3(0.0);
const vec3 sceneAmbient = vec3(0.2);

void main() {
    vec4 vertex = vec4(position, 1.0);
    gl_Position = modelviewProjection * vertex;
    gl_PointSize = pointSize;
    if (lighting) {
        // Per vertex, as GL lights: the normal as transformed, unit length only on request.
        vec4 eye = modelview * vertex;
        vec3 n = normalMatrix * normal;
        if (normalizeNormals) n = normalize(n);
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
        frontColour = clamp(colour, 0.0, 1.0);
    }
    vec4 t0 = textureMatrix0 * vec4(texCoord0, 0.0, 1.0);
    vec4 t1 = textureMatrix1 * vec4(texCoord1, 0.0, 1.0);
    coord0 = t0.xyw;
    coord1 = t1.xyw;
}
)";

const char* FragmentShader = R"(#version 300 es
precision highp float;
in vec4 frontColour;
in vec3 coord0;
in vec3 coord1;
uniform bool texturing0;
uniform bool texturing1;
uniform sampler2D sampler0;
uniform sampler2D sampler1;
out vec4 fragmentColour;

void main() {
    // MODULATE on each enabled unit in turn.
    vec4 c = frontColour;
    if (texturing0) c *= textureProj(sampler0, coord0);
    if (texturing1) c *= textureProj(sampler1, coord1);
    fragmentColour = c;
}
)";

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

bool buildProgram(std::string& error) {
    const GLESCalls& es = State.es;
    State.vertexShader = compileShader(gles::VERTEX_SHADER, VertexShader, "vertex", error);
    if (!State.vertexShader) return false;
    State.fragmentShader = compileShader(gles::FRAGMENT_SHADER, FragmentShader, "fragment", error);
    if (!State.fragmentShader) return false;
    State.program = es.CreateProgram();
    es.AttachShader(State.program, State.vertexShader);
    es.AttachShader(State.program, State.fragmentShader);
    es.BindAttribLocation(State.program, PositionAttribute, "position");
    es.BindAttribLocation(State.program, NormalAttribute, "normal");
    es.BindAttribLocation(State.program, ColourAttribute, "colour");
    es.BindAttribLocation(State.program, TexCoordAttribute, "texCoord0");
    es.BindAttribLocation(State.program, TexCoordAttribute + 1, "texCoord1");
    es.LinkProgram(State.program);
    GLint linked = 0;
    es.GetProgramiv(State.program, gles::LINK_STATUS, &linked);
    if (!linked) {
        GLint length = 0;
        es.GetProgramiv(State.program, gles::INFO_LOG_LENGTH, &length);
        std::string log(size_t(length > 1 ? length : 1), '\0');
        es.GetProgramInfoLog(State.program, GLsizei(log.size()), nullptr, log.data());
        error = std::string("the fixed-function layer's shaders do not link: ") + log.c_str();
        return false;
    }
    Uniforms& u = State.uniforms;
    const GLuint p = State.program;
    u.modelviewProjection = es.GetUniformLocation(p, "modelviewProjection");
    u.modelview = es.GetUniformLocation(p, "modelview");
    u.normalMatrix = es.GetUniformLocation(p, "normalMatrix");
    u.lighting = es.GetUniformLocation(p, "lighting");
    u.normalize = es.GetUniformLocation(p, "normalizeNormals");
    u.lightPosition = es.GetUniformLocation(p, "lightPosition");
    u.lightAmbient = es.GetUniformLocation(p, "lightAmbient");
    u.lightDiffuse = es.GetUniformLocation(p, "lightDiffuse");
    u.lightSpecular = es.GetUniformLocation(p, "lightSpecular");
    u.pointSize = es.GetUniformLocation(p, "pointSize");
    for (int unit = 0; unit < Units; ++unit) {
        const std::string n = std::to_string(unit);
        u.textureMatrix[unit] = es.GetUniformLocation(p, ("textureMatrix" + n).c_str());
        u.texturing[unit] = es.GetUniformLocation(p, ("texturing" + n).c_str());
        u.sampler[unit] = es.GetUniformLocation(p, ("sampler" + n).c_str());
    }
    es.UseProgram(p);
    for (int unit = 0; unit < Units; ++unit)
        es.Uniform1i(u.sampler[unit], unit);
    return true;
}

void makeStreamBuffer() {
    const GLESCalls& es = State.es;
    es.GenVertexArrays(1, &State.vertexArrayObject);
    es.BindVertexArray(State.vertexArrayObject);
    es.GenBuffers(1, &State.streamBuffer);
    es.BindBuffer(gles::ARRAY_BUFFER, State.streamBuffer);
    const GLsizei stride = sizeof(Vertex);
    auto attribute = [&](GLuint index, GLint size, size_t offset) {
        es.VertexAttribPointer(index, size, GL_FLOAT, GL_FALSE, stride,
                               reinterpret_cast<const void*>(offset));
        es.EnableVertexAttribArray(index);
    };
    attribute(PositionAttribute, 3, offsetof(Vertex, position));
    attribute(NormalAttribute, 3, offsetof(Vertex, normal));
    attribute(ColourAttribute, 4, offsetof(Vertex, colour));
    for (int unit = 0; unit < Units; ++unit)
        attribute(TexCoordAttribute + GLuint(unit), 2,
                  offsetof(Vertex, texCoord) + size_t(unit) * 2 * sizeof(float));
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

// The layer's own OpenGL 1.1 entry points, one per table row.

GLboolean KGL_APIENTRY ff_glAreTexturesResident(GLsizei, const GLuint*, GLboolean*) {
    // Every texture stays in the context: the residence array is left untouched.
    return GL_TRUE;
}

void KGL_APIENTRY ff_glBegin(GLenum mode) {
    if (State.inBegin) return raise(gles::INVALID_OPERATION);
    State.inBegin = true;
    State.primitive = mode;
    State.vertices.clear();
}

void KGL_APIENTRY ff_glEnd() {
    if (!State.inBegin) return raise(gles::INVALID_OPERATION);
    State.inBegin = false;
    drawVertices(State.primitive, State.vertices);
}

void KGL_APIENTRY ff_glBindTexture(GLenum target, GLuint texture) {
    if (target != GL_TEXTURE_2D) return raise(gles::INVALID_ENUM);
    State.boundTexture[State.activeUnit] = texture;
    recordOf(texture);
    State.es.BindTexture(GL_TEXTURE_2D, texture);
    State.dirty |= SettingsDirty;
}

void KGL_APIENTRY ff_glBlendFunc(GLenum sfactor, GLenum dfactor) {
    State.es.BlendFunc(sfactor, dfactor);
}

void KGL_APIENTRY ff_glClear(GLbitfield mask) {
    State.es.Clear(mask);
}

void KGL_APIENTRY ff_glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    State.es.ClearColor(red, green, blue, alpha);
}

void KGL_APIENTRY ff_glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
    State.colour[0] = red, State.colour[1] = green, State.colour[2] = blue;
    State.colour[3] = alpha;
}

void KGL_APIENTRY ff_glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    ff_glColor4f(red, green, blue, 1.0f);
}

void KGL_APIENTRY ff_glDepthMask(GLboolean flag) {
    State.es.DepthMask(flag);
}

// Capabilities the layer keeps itself; the rest are ES state of the same name.
void setCapability(GLenum cap, bool on) {
    switch (cap) {
    case GL_LIGHTING:
        State.lighting = on;
        break;
    case GL_LIGHT0:
        State.light0 = on;
        break;
    case GL_NORMALIZE:
        State.normalize = on;
        break;
    case GL_TEXTURE_2D:
        State.texturing[State.activeUnit] = on;
        break;
    case GL_BLEND:
        if (on && Fault == FixedFunctionFault::NoBlending) return;
        [[fallthrough]];
    case GL_DEPTH_TEST:
    case GL_CULL_FACE:
        if (on)
            State.es.Enable(cap);
        else
            State.es.Disable(cap);
        return;
    default:
        // Other lights, fog and the like: the program does not use them.
        if (cap < GL_LIGHT0 || cap > GL_LIGHT0 + 7) raise(gles::INVALID_ENUM);
        return;
    }
    State.dirty |= SettingsDirty;
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

// Element `index` of a float client array, `count` values at most.
void fetch(const ClientArray& array, GLint index, float* out, int count) {
    const size_t stride = array.stride ? size_t(array.stride) : size_t(array.size) * sizeof(float);
    const auto* base = static_cast<const uint8_t*>(array.pointer) + size_t(index) * stride;
    const int n = array.size < count ? array.size : count;
    std::memcpy(out, base, size_t(n) * sizeof(float));
}

void KGL_APIENTRY ff_glDrawArrays(GLenum mode, GLint first, GLsizei count) {
    if (first < 0 || count < 0) return raise(gles::INVALID_VALUE);
    if (!State.vertexArray.enabled || !State.vertexArray.pointer || count == 0) return;
    // The client arrays are read now and copied into the stream buffer.
    State.vertices.resize(size_t(count));
    for (GLsizei k = 0; k < count; ++k) {
        Vertex& v = State.vertices[size_t(k)];
        v = Vertex{}; // values an array of fewer components leaves are 0
        fetch(State.vertexArray, first + k, v.position, 3);
        if (State.normalArray.enabled && State.normalArray.pointer)
            fetch(State.normalArray, first + k, v.normal, 3);
        else
            std::memcpy(v.normal, State.normal, sizeof v.normal);
        std::memcpy(v.colour, State.colour, sizeof v.colour);
        for (int unit = 0; unit < Units; ++unit) {
            const ClientArray& t = State.texCoordArray[unit];
            if (t.enabled && t.pointer)
                fetch(t, first + k, v.texCoord[unit], 2);
            else
                std::memcpy(v.texCoord[unit], State.texCoord[unit], sizeof v.texCoord[unit]);
        }
    }
    drawVertices(mode, State.vertices);
}

void KGL_APIENTRY ff_glFinish() {
    State.es.Finish();
}

void KGL_APIENTRY ff_glFlush() {
    State.es.Flush();
}

void KGL_APIENTRY ff_glFrontFace(GLenum mode) {
    State.es.FrontFace(mode);
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
    State.es.GenTextures(n, textures);
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
    switch (pname) {
    case GL_AMBIENT:
        std::memcpy(State.lightAmbient, params, 4 * sizeof(float));
        break;
    case GL_DIFFUSE:
        std::memcpy(State.lightDiffuse, params, 4 * sizeof(float));
        break;
    case GL_SPECULAR:
        std::memcpy(State.lightSpecular, params, 4 * sizeof(float));
        break;
    case GL_POSITION: {
        // Kept in eye space, through the modelview of the moment, as GL does.
        const Matrix& m = State.stacks[ModelviewStack].back();
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += m[k * 4 + row] * params[k];
            State.lightPosition[row] = float(sum);
        }
        break;
    }
    default:
        return; // spot and attenuation keep their defaults
    }
    State.dirty |= SettingsDirty;
}

void KGL_APIENTRY ff_glLoadIdentity() {
    currentStack().back() = identity();
    matrixChanged();
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
    State.dirty |= SettingsDirty;
}

void KGL_APIENTRY ff_glLineWidth(GLfloat width) {
    if (width <= 0) return raise(gles::INVALID_VALUE);
}

void KGL_APIENTRY ff_glPopMatrix() {
    std::vector<Matrix>& stack = currentStack();
    if (stack.size() <= 1) return raise(gles::STACK_UNDERFLOW);
    stack.pop_back();
    matrixChanged();
}

void KGL_APIENTRY ff_glPushMatrix() {
    std::vector<Matrix>& stack = currentStack();
    if (stack.size() >= StackDepth) return raise(gles::STACK_OVERFLOW);
    stack.push_back(stack.back());
}

void KGL_APIENTRY ff_glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                                  GLenum type, GLvoid* pixels) {
    const int components = componentsOf(format);
    if (components < 3 || (type != GL_UNSIGNED_BYTE && type != GL_FLOAT))
        return raise(gles::INVALID_ENUM);
    if (width < 0 || height < 0) return raise(gles::INVALID_VALUE);
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
    Matrix m = identity();
    m[0] = x * x * t + c, m[4] = x * y * t - z * s, m[8] = x * z * t + y * s;
    m[1] = y * x * t + z * s, m[5] = y * y * t + c, m[9] = y * z * t - x * s;
    m[2] = x * z * t - y * s, m[6] = y * z * t + x * s, m[10] = z * z * t + c;
    multiplyCurrent(m);
}

void KGL_APIENTRY ff_glRotated(GLdouble angle, GLdouble x, GLdouble y, GLdouble z) {
    rotate(angle, x, y, z);
}

void KGL_APIENTRY ff_glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    rotate(angle, x, y, z);
}

void KGL_APIENTRY ff_glScalef(GLfloat x, GLfloat y, GLfloat z) {
    Matrix m = identity();
    m[0] = x, m[5] = y, m[10] = z;
    multiplyCurrent(m);
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
    if (State.boundTexture[State.activeUnit] == 0) return; // as for glTexParameterf
    const GLenum esFormat = to == 3 ? GL_RGB : GL_RGBA;
    State.es.TexImage2D(GL_TEXTURE_2D, level, GLint(esFormat), width, height, 0, esFormat,
                        GL_UNSIGNED_BYTE, data);
    if (level == 0) recordOf(State.boundTexture[State.activeUnit]).hasImage = true;
    State.dirty |= SettingsDirty;
}

void KGL_APIENTRY ff_glTexParameterf(GLenum target, GLenum pname, GLfloat param) {
    if (target != GL_TEXTURE_2D) return raise(gles::INVALID_ENUM);
    GLint value = GLint(param);
    if (value == GLint(Clamp)) value = GLint(gles::CLAMP_TO_EDGE); // ES lacks the border variant
    if (pname == GL_TEXTURE_MIN_FILTER) {
        recordOf(State.boundTexture[State.activeUnit]).wantsMipmaps =
            value != GLint(GL_LINEAR) && value != GLint(Nearest);
        State.dirty |= SettingsDirty;
    }
    // WebGL has no texture object 0 to set; the layer never draws with it anyway.
    if (State.boundTexture[State.activeUnit] != 0)
        State.es.TexParameteri(GL_TEXTURE_2D, pname, value);
}

void KGL_APIENTRY ff_glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    Matrix m = identity();
    m[12] = x, m[13] = y, m[14] = z;
    multiplyCurrent(m);
}

void KGL_APIENTRY ff_glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (!State.inBegin) return; // outside glBegin GL leaves the result undefined
    Vertex v;
    v.position[0] = x, v.position[1] = y, v.position[2] = z;
    std::memcpy(v.normal, State.normal, sizeof v.normal);
    std::memcpy(v.colour, State.colour, sizeof v.colour);
    std::memcpy(v.texCoord, State.texCoord, sizeof v.texCoord);
    State.vertices.push_back(v);
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
    State.es.Viewport(x, y, width, height);
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
    if (unit < 0) return;
    State.activeUnit = unit;
    State.es.ActiveTexture(esUnit(unit));
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
} // namespace

bool installFixedFunctionLayer(GLESLookup lookup, std::string& error) {
    releaseFixedFunctionLayer();
    if (!lookup || !bindES(lookup, error)) {
        if (!lookup) error = "no way to look OpenGL ES 3 functions up";
        State.es = GLESCalls();
        return false;
    }
    if (!buildProgram(error)) {
        releaseFixedFunctionLayer();
        return false;
    }
    makeStreamBuffer();
    State.es.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (std::vector<Matrix>& stack : State.stacks)
        stack.assign(1, identity());
    State.vendor = "Kestrion";
    State.renderer = "Kestrion fixed-function layer over " + esString(GL_RENDERER);
    State.version = "1.1 Kestrion fixed-function layer over " + esString(GL_VERSION);
    if (State.width > 0 && State.height > 0) State.es.Viewport(0, 0, State.width, State.height);

#define KGL_CORE(ret, name, params, args) name = ff_##name;
#define KGL_EXT KGL_CORE
#include "gl/gl_functions.inc"
#undef KGL_CORE
#undef KGL_EXT
    return true;
}

void setFixedFunctionFramebufferSize(int width, int height) {
    State.width = width;
    State.height = height;
    if (State.program) State.es.Viewport(0, 0, width, height);
}

void releaseFixedFunctionLayer() {
    const GLESCalls& es = State.es;
    if (State.program) es.DeleteProgram(State.program);
    if (State.vertexShader) es.DeleteShader(State.vertexShader);
    if (State.fragmentShader) es.DeleteShader(State.fragmentShader);
    if (State.streamBuffer) es.DeleteBuffers(1, &State.streamBuffer);
    if (State.vertexArrayObject) es.DeleteVertexArrays(1, &State.vertexArrayObject);
    const int width = State.width, height = State.height;
    State = LayerState();
    State.width = width, State.height = height;
    clearGLTable();
}

void plantFixedFunctionFault(FixedFunctionFault fault) {
    Fault = fault;
}
