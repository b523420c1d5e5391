// `kestrion-forge preview`: a race as the saver draws it (the hull lit and
// textured, the shield bubble in its colour, a beam from its nose in the beam
// colours) from three angles side by side, drawn off-screen through our GL
// table on Mesa's surfaceless EGL and written as a PNG.
#include "data/race_data.h"
#include "data/race_reader.h"
#include "gl/egl/surfaceless.h"
#include "gl/gl_state.h"
#include "gl/gl_table.h"
#include "shell/screenshot.h"
#include "tools/forge/authoring.h"
#include "tools/forge/forge.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
const char* const PreviewUsage =
    "usage: kestrion-forge preview RACE.ast OUT.png [--size WxH]\n"
    "\n"
    "  Draws the race from the side, from above and from behind at three quarters,\n"
    "  side by side, as the saver draws it: the hull lit and textured, the shield\n"
    "  bubble and a beam in the race's colours. --size is the whole picture's\n"
    "  size in pixels (default 1200x400).\n";

int usageError(const std::string& problem) {
    std::fprintf(stderr, "kestrion-forge preview: %s\n\n%s", problem.c_str(), PreviewUsage);
    return 2;
}

// Where the three views look from: the turn about the view's up axis and the
// tilt towards the viewer, applied to the side view (nose to the left, top up).
struct View {
    float turn, tilt;
};
constexpr View Views[3] = {{0, 12}, {0, 90}, {-50, 22}};
constexpr float FieldOfView = 30.0f; // degrees, vertical
constexpr float ShieldOpacity = 0.22f;

void setUpLighting() {
    // The saver's light. Its hull normals point into the hull and its light
    // stands far behind the ships, so the faces the viewer sees are lit; here
    // from behind and below, which lights the hull as if from the upper left.
    static const GLfloat ambient[4] = {0.5f, 0.5f, 0.5f, 0.0f};
    static const GLfloat diffuse[4] = {1.0f, 1.0f, 1.0f, 0.0f};
    static const GLfloat specular[4] = {0.5f, 0.5f, 0.5f, 0.0f};
    static const GLfloat position[4] = {0.4f, -0.6f, -1.0f, 0.0f};
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHT0);
    glShadeModel(GL_SMOOTH);
    glFrontFace(GL_CCW);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_MODULATE));
}

// The radius of a sphere about the origin that holds the hull and its bubble.
float radiusOf(const RaceData& race) {
    float r = 0;
    for (int m = 0; m <= race.meshCount; ++m)
        for (int v = 0; v < race.meshes[m].vertexCount; ++v) {
            const MeshVertex& p = race.meshes[m].vertices[v];
            r = std::max(r, std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z));
        }
    return r > 0 ? r : 1;
}

void drawRace(const RaceData& race, float radius) {
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    for (int i = 0; i < race.meshCount; ++i) {
        const Mesh& part = race.meshes[i];
        glBindTexture(GL_TEXTURE_2D, part.texture);
        glVertexPointer(3, GL_FLOAT, 0, part.positions);
        glNormalPointer(GL_FLOAT, 0, part.normals);
        glTexCoordPointer(2, GL_FLOAT, 0, part.texCoords);
        glDrawArrays(GL_TRIANGLES, 0, part.triangleCount * 3);
    }

    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    // The beam leaves the nose (-y) and runs ahead, out of the picture.
    glLineWidth(3.0f);
    glBegin(GL_LINES);
    glColor3f(race.beamColourNear[0], race.beamColourNear[1], race.beamColourNear[2]);
    glVertex3f(0, -radius * 0.6f, 0);
    glColor3f(race.beamColourFar[0], race.beamColourFar[1], race.beamColourFar[2]);
    glVertex3f(0, -radius * 6.0f, 0);
    glEnd();

    // The bubble, evenly lit as when it is struck all over, blended over the hull.
    const Mesh& shield = shieldMesh(race);
    glEnable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDepthMask(GL_FALSE);
    glColor4f(race.shieldColour[0], race.shieldColour[1], race.shieldColour[2], ShieldOpacity);
    glBegin(GL_TRIANGLES);
    for (int t = 0; t < shield.triangleCount; ++t)
        for (int corner : {shield.triangles[t].a, shield.triangles[t].b, shield.triangles[t].c})
            if (corner >= 0 && corner < shield.vertexCount)
                glVertex3f(shield.vertices[corner].x, shield.vertices[corner].y,
                           shield.vertices[corner].z);
    glEnd();
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
}

// The three views into the bound framebuffer, each a third of its width.
void drawViews(const RaceData& race, int width, int height) {
    glClearColor(0.02f, 0.02f, 0.06f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const float radius = radiusOf(race);
    for (int k = 0; k < 3; ++k) {
        const int x = width * k / 3, w = width * (k + 1) / 3 - x;
        glViewport(x, 0, w, height);
        const double aspect = double(w) / height;
        const double halfHeight = std::tan(FieldOfView * 3.14159265 / 360.0);
        // Far enough that the sphere fits the narrower side of the panel.
        const double distance = radius * 1.15 / (halfHeight * std::min(1.0, aspect));
        const double nearPlane = distance - radius * 1.5 > 0.01 ? distance - radius * 1.5 : 0.01;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-halfHeight * aspect * nearPlane, halfHeight * aspect * nearPlane,
                  -halfHeight * nearPlane, halfHeight * nearPlane, nearPlane,
                  distance + radius * 8);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(0, 0, static_cast<float>(-distance));
        glRotatef(Views[k].tilt, 1, 0, 0);
        glRotatef(Views[k].turn, 0, 1, 0);
        // The side view: the race's -y (nose) to the left, +z (top) up, +x towards the viewer.
        glRotatef(-90, 0, 1, 0);
        glRotatef(-90, 1, 0, 0);
        drawRace(race, radius);
    }
    glFinish();
}

// The framebuffer as the screenshot code reads it (bottom-up BGR rows), as RGB top first.
bool readPicture(int width, int height, Picture& picture) {
    ScreenshotPixels pixels;
    if (!readScreenshotPixels(width, height, pixels)) return false;
    picture.width = width;
    picture.height = height;
    picture.channels = 3;
    picture.pixels.resize(size_t(width) * size_t(height) * 3);
    const size_t row = bmpRowBytes(width);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                picture.pixels[(size_t(y) * size_t(width) + size_t(x)) * 3 + size_t(c)] =
                    pixels.bytes[size_t(height - 1 - y) * row + size_t(x) * 3 + size_t(2 - c)];
    return true;
}

bool parseSize(const std::string& text, int& width, int& height) {
    char* end = nullptr;
    long w = std::strtol(text.c_str(), &end, 10);
    if (*end != 'x' && *end != 'X') return false;
    long h = std::strtol(end + 1, &end, 10);
    if (*end != '\0' || w < 48 || h < 16 || w > 8192 || h > 8192) return false;
    width = int(w);
    height = int(h);
    return true;
}
} // namespace

bool previewRace(const RaceFileRecord& record, int width, int height, Picture& picture,
                 std::string& error) {
#ifdef _WIN32
    // The saver's hidden-window context could serve here; until it does, say so.
    (void)record, (void)width, (void)height, (void)picture;
    error = "preview draws through Mesa's surfaceless EGL, which Windows lacks; run "
            "kestrion-forge preview on Linux";
    return false;
#endif
    error = makeSurfacelessContext(SurfacelessApi::OpenGL, width, height);
    if (!error.empty()) {
        error = "no off-screen OpenGL: " + error;
        return false;
    }
    auto lookup = [](const char* name, void*) { return surfacelessLookup(name); };
    if (int missing = bindGLCore(lookup, nullptr)) {
        error = "the off-screen OpenGL lacks " + std::to_string(missing) + " functions";
        return false;
    }
    bindGLExtensions(lookup, nullptr);
    MultitextureAvailable = 0;
    setUpLighting();
    RaceData race;
    if (!loadRaceRecord(record, race)) {
        error = "the race cannot be loaded";
        return false;
    }
    drawViews(race, width, height);
    const bool read = readPicture(width, height, picture);
    releaseRaceData(race);
    if (!read) error = "cannot read the picture back";
    return read;
}

int commandPreview(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    int width = 1200, height = 400;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            std::fputs(PreviewUsage, stdout);
            return 0;
        }
        if (args[i] == "--size") {
            if (i + 1 >= args.size() || !parseSize(args[++i], width, height))
                return usageError("--size takes WxH, from 48x16 to 8192x8192");
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return usageError("unknown option \"" + args[i] + "\"");
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 2) return usageError("give the race file and the picture to write");
    std::vector<uint8_t> bytes;
    if (!readFileBytes(files[0], bytes)) {
        std::fprintf(stderr, "kestrion-forge preview: %s: cannot read the race file\n",
                     files[0].c_str());
        return 1;
    }
    RaceFileRecord record;
    std::string error;
    if (!parseRaceFile(bytes.data(), bytes.size(), record, &error)) {
        std::fprintf(stderr, "kestrion-forge preview: %s: %s\n", files[0].c_str(), error.c_str());
        return 1;
    }
    Picture picture;
    if (!previewRace(record, width, height, picture, error)) {
        std::fprintf(stderr, "kestrion-forge preview: %s\n", error.c_str());
        return 1;
    }
    if (!writeFileReplacing(files[1], encodePng(picture), &error)) {
        std::fprintf(stderr, "kestrion-forge preview: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %dx%d, race \"%s\" from three angles\n", files[1].c_str(), width, height,
                record.raceName.c_str());
    return 0;
}
