// The shader programs that draw like GL 1.1's fixed function (one light, two
// texture units with MODULATE), and the buffers and vertex arrays they read.
#include "gl/gles/shaders.h"

#include <cstddef>
#include <string>
#include <utility>

namespace gles_layer {

enum Attribute : GLuint {
    PositionAttribute,
    NormalAttribute,
    ColourAttribute,
    TexCoordAttribute, // + unit
    FlagsAttribute = TexCoordAttribute + Units
};

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

// The ES objects of a fresh context: the program, the buffers, the unpacking.
bool makeESObjects(std::string& error) {
    State.applied = Applied();
    if (!buildProgram(error)) return false;
    makeBuffers();
    State.es.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    return true;
}
} // namespace gles_layer
