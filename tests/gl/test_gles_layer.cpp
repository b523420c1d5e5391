// The fixed-function layer held against Mesa's own fixed-function GL: the same
// battle (default races, fixed seed, fake clock) drawn at 800 x 600 through
// both on Mesa's surfaceless EGL, each into a framebuffer object, and the
// read-back pixels compared. Each drawing runs in a child process of its own,
// so that both start from the same program state.
#include "data/scene.h"
#include "gl/egl/surfaceless.h"
#include "gl/gl_state.h"
#include "gl/gl_table.h"
#include "gl/gles/fixed_function.h"
#include "platform/clock.h"
#include "platform/library.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "shell/screenshot.h"
#include "tests/support/headless_battle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr int Width = 800, Height = 600;
constexpr uint32_t FrameMs = 16;
constexpr int Frames = 240;      // about four seconds of battle
constexpr int CaptureEvery = 60; // the frames compared: 60, 120, 180, 240
constexpr int ShipsPerSide = 6;
// A fleet where the layer's batches take in the draws of many ships, its beams
// drawn wide, as on a large screen.
constexpr int LargeShipsPerSide = 40;
constexpr float WideBeams = 3.5f;
// They meet at once and most are shot down within a second or two: the first
// one and a half seconds, compared often.
constexpr int LargeFrames = 90, LargeCaptureEvery = 15;

// What the comparison allows, from measurement (llvmpipe both ways, 6 ships a
// side): the layer composes its matrices in double where Mesa uses float, so a
// few edge pixels round the other way, by up to 71 in a channel, but no frame
// had more than 0.001% of its pixels off by more than 8. The planted faults put
// 0.17% (lighting: the hulls are small), 2.7% (blending) and 99.7% (texture
// unit) of the pixels off by more than that. The limit lies between.
constexpr int ChannelTolerance = 8;
constexpr double DifferingShareLimit = 0.0005;

void* eglLookup(const char* name) {
    return surfacelessLookup(name);
}

void* eglLookupFor(const char* name, void*) {
    return surfacelessLookup(name);
}

enum class Backend { MesaFixedFunction, Layer };

// An OpenGL ES 3 or compatibility OpenGL context on Mesa's surfaceless platform,
// current, drawing into an 800 x 600 framebuffer object. Empty when all went well.
std::string makeContext(Backend backend) {
    return makeSurfacelessContext(backend == Backend::Layer ? SurfacelessApi::OpenGLES3
                                                            : SurfacelessApi::OpenGL,
                                  Width, Height);
}

// One drawing: the matrices glGetDoublev gave after the scene set-up, and the
// captured frames as the screenshot code reads them.
struct Drawing {
    std::string problem;
    std::vector<double> matrices; // modelview, then projection
    long draws = 0, esDraws = 0;  // over the battle's frames, through the layer
    std::vector<std::vector<uint8_t>> frames;
};

// One more picture: the GL 1.1 modes the layer turns into ES ones (quads, quad
// strips, polygons) beside the ES ones, one colour per primitive, as a caller
// other than the battle might draw them.
void drawPrimitives() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, Width, Height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    struct Shape {
        GLenum mode;
        std::vector<float> xy;
    };
    const Shape shapes[] = {
        {0x0007 /*quads*/,
         {20, 20, 20, 180, 180, 170, 170, 30, 200, 40, 210, 160, 330, 190, 350, 20}},
        {0x0008 /*quad strip*/, {400, 20, 400, 180, 500, 30, 490, 170, 620, 20, 640, 190}},
        {0x0009 /*polygon*/, {100, 250, 180, 300, 150, 400, 50, 400, 20, 300}},
        {0x0006 /*triangle fan*/, {400, 300, 500, 250, 560, 320, 520, 420, 420, 440}},
        {0x0005 /*triangle strip*/, {600, 250, 620, 450, 700, 260, 720, 440, 790, 300}},
        {GL_LINES, {20, 500, 780, 560, 30, 590, 700, 470}},
        // Wide lines, which the layer draws as triangles: steep and flat ones.
        {GL_LINES, {250, 440, 330, 590, 600, 470, 790, 500}},
        {0x0003 /*line strip*/, {40, 430, 60, 300, 190, 250, 230, 240}}};
    float shade = 0.2f;
    for (const Shape& shape : shapes) {
        glColor3f(shade, 1.0f - shade, 0.5f);
        shade += 0.13f;
        if (&shape >= &shapes[6]) glLineWidth(&shape == &shapes[6] ? 5.0f : 2.5f);
        glBegin(shape.mode);
        for (size_t k = 0; k + 1 < shape.xy.size(); k += 2)
            glVertex2f(shape.xy[k], shape.xy[k + 1]);
        glEnd();
    }
    glLineWidth(1.0f);
    glFinish();
}

// The child's part: context, table, scene, frames. Writes the file the parent reads.
std::string drawInChild(Backend backend, FixedFunctionFault fault, int ships, float lineWidth,
                        int frames, int captureEvery, const std::string& file) {
    std::string error;
    if (!configureHeadlessBattle(ships, 1000000, 12345, &error))
        return "cannot write the data set: " + error;
    const std::string problem = makeContext(backend);
    if (!problem.empty()) return problem;
    if (backend == Backend::Layer) {
        plantFixedFunctionFault(fault);
        if (!installFixedFunctionLayer(eglLookup, error)) return error;
        setFixedFunctionFramebufferSize(Width, Height);
    } else {
        const int missing = bindGLCore(eglLookupFor, nullptr);
        if (missing) return std::to_string(missing) + " GL functions missing from Mesa's context";
        bindGLExtensions(eglLookupFor, nullptr);
    }
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    MultitextureAvailable = extensions && std::strstr(extensions, "GL_ARB_multitexture") ? 1 : 0;
    if (!MultitextureAvailable) return "the context offers no multitexturing";
    ScreenWidth = Width;
    ScreenHeight = Height;
    if (!setUpScene(ScreenWidth, ScreenHeight, ProgramDirectory)) return "the scene did not load";
    glLineWidth(lineWidth);

    std::ofstream out(file, std::ios::binary);
    double matrix[16];
    for (GLenum which : {GL_MODELVIEW_MATRIX, GL_PROJECTION_MATRIX}) {
        glGetDoublev(which, matrix);
        out.write(reinterpret_cast<const char*>(matrix), sizeof matrix);
    }
    auto capture = [&out]() {
        ScreenshotPixels pixels;
        if (!readScreenshotPixels(Width, Height, pixels)) return false;
        out.write(reinterpret_cast<const char*>(pixels.bytes.get()), std::streamsize(pixels.size));
        return true;
    };
    for (int frame = 1; frame <= frames; ++frame) {
        advanceFakeClock(FrameMs);
        RunFrame();
        if (frame % captureEvery == 0 && !capture()) return "cannot read the frame";
    }
    // The draws the program asked for over the frames, and the layer's draw calls.
    const FixedFunctionCounts counts = fixedFunctionCounts();
    const long drawCounts[2] = {counts.draws, counts.esDraws};
    out.write(reinterpret_cast<const char*>(drawCounts), sizeof drawCounts);
    drawPrimitives();
    if (!capture()) return "cannot read the frame";
    const GLenum glError = glGetError();
    if (glError != GL_NO_ERROR) return "GL error " + std::to_string(glError) + " after the frames";
    return out ? "" : "cannot write " + file;
}

Drawing draw(Backend backend, FixedFunctionFault fault = FixedFunctionFault::None,
             int ships = ShipsPerSide, float lineWidth = 1.0f, int frames = Frames,
             int captureEvery = CaptureEvery) {
    Drawing drawing;
    const std::string file = ::testing::TempDir() + "kestrion-gles-" + std::to_string(getpid()) +
                             "-" + std::to_string(int(backend)) + "-" + std::to_string(int(fault)) +
                             "-" + std::to_string(ships);
    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const std::string problem =
            drawInChild(backend, fault, ships, lineWidth, frames, captureEvery, file);
        if (!problem.empty()) std::ofstream(file + ".problem") << problem;
        _exit(problem.empty() ? 0 : 1);
    }
    int status = 0;
    // Generous: a loaded machine may take a minute for what takes ten seconds alone.
    for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; ++waited) {
        if (waited == 3000) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            std::error_code ignored;
            std::filesystem::remove_all(headlessDataFolder(child), ignored);
            drawing.problem = "the drawing took over five minutes";
            return drawing;
        }
        usleep(100000);
    }
    std::error_code ignored;
    std::filesystem::remove_all(headlessDataFolder(child), ignored);
    std::ifstream problem(file + ".problem");
    if (problem) drawing.problem.assign(std::istreambuf_iterator<char>(problem), {});
    if (drawing.problem.empty() && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
        drawing.problem = "the drawing process ended with status " + std::to_string(status);
    std::ifstream in(file, std::ios::binary);
    drawing.matrices.resize(32);
    in.read(reinterpret_cast<char*>(drawing.matrices.data()), 32 * sizeof(double));
    const size_t size = bmpRowBytes(Width) * Height;
    std::vector<uint8_t> frame(size);
    for (int k = 0; k < frames / captureEvery &&
                    in.read(reinterpret_cast<char*>(frame.data()), std::streamsize(size));
         ++k)
        drawing.frames.push_back(frame);
    in.read(reinterpret_cast<char*>(&drawing.draws), sizeof drawing.draws);
    in.read(reinterpret_cast<char*>(&drawing.esDraws), sizeof drawing.esDraws);
    if (in.read(reinterpret_cast<char*>(frame.data()), std::streamsize(size)))
        drawing.frames.push_back(frame);
    std::remove(file.c_str());
    std::remove((file + ".problem").c_str());
    return drawing;
}

struct Difference {
    int maxChannel = 0;
    double differingShare = 0; // pixels with a channel off by more than the tolerance
    bool withinTolerance() const { return differingShare <= DifferingShareLimit; }
};

Difference compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    Difference d;
    size_t differing = 0;
    for (size_t p = 0; p + 2 < a.size(); p += 3) {
        int worst = 0;
        for (size_t c = 0; c < 3; ++c)
            worst = std::max(worst, std::abs(int(a[p + c]) - int(b[p + c])));
        d.maxChannel = std::max(d.maxChannel, worst);
        if (worst > ChannelTolerance) ++differing;
    }
    d.differingShare = double(differing) / double(Width * Height);
    return d;
}

// With KESTRION_GLES_PICTURES naming a folder, the frames are kept there as BMPs.
void keepPictures(const Drawing& drawing, const char* name) {
    const char* folder = std::getenv("KESTRION_GLES_PICTURES");
    if (!folder) return;
    for (size_t k = 0; k < drawing.frames.size(); ++k) {
        std::ofstream out(std::string(folder) + "/" + name + "-" + std::to_string(k) + ".bmp",
                          std::ios::binary);
        const auto header = bmpHeader(Width, Height);
        out.write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
        out.write(reinterpret_cast<const char*>(drawing.frames[k].data()),
                  std::streamsize(drawing.frames[k].size()));
    }
}

std::string pictureName(size_t k, int frames = Frames, int captureEvery = CaptureEvery) {
    return k < size_t(frames / captureEvery) ? "frame " + std::to_string((k + 1) * captureEvery)
                                             : std::string("the primitives");
}

struct GLESLayerTest : ::testing::Test {
    static Drawing Mesa;

    static void SetUpTestSuite() {
        std::string error;
        if (!configureHeadlessBattle(ShipsPerSide, 1000000, 12345, &error)) {
            Mesa.problem = "cannot write the data set: " + error;
            return;
        }
        Mesa = draw(Backend::MesaFixedFunction);
        keepPictures(Mesa, "mesa");
    }

    void SetUp() override {
        ASSERT_TRUE(Mesa.problem.empty()) << Mesa.problem;
        ASSERT_EQ(Mesa.frames.size(), size_t(Frames / CaptureEvery + 1));
    }
};
Drawing GLESLayerTest::Mesa;

TEST_F(GLESLayerTest, DrawsTheBattleAsMesasFixedFunctionGLDoes) {
    const Drawing layer = draw(Backend::Layer);
    keepPictures(layer, "layer");
    ASSERT_TRUE(layer.problem.empty()) << layer.problem;
    ASSERT_EQ(layer.frames.size(), Mesa.frames.size());
    // glGetDoublev answers as GL does, to float precision.
    for (size_t k = 0; k < 32; ++k)
        EXPECT_NEAR(layer.matrices[k], Mesa.matrices[k], 1e-5) << "matrix element " << k;
    for (size_t k = 0; k < Mesa.frames.size(); ++k) {
        const Difference d = compare(layer.frames[k], Mesa.frames[k]);
        std::printf("%s: largest channel difference %d, %.3f%% of pixels off by more than %d\n",
                    pictureName(k).c_str(), d.maxChannel, d.differingShare * 100, ChannelTolerance);
        EXPECT_TRUE(d.withinTolerance())
            << pictureName(k) << ": " << d.differingShare * 100 << "% differ";
    }
}

TEST_F(GLESLayerTest, NoticesEachPlantedFault) {
    const std::pair<FixedFunctionFault, const char*> faults[] = {
        {FixedFunctionFault::NoLighting, "no-lighting"},
        {FixedFunctionFault::WrongTextureUnit, "wrong-unit"},
        {FixedFunctionFault::NoBlending, "no-blending"}};
    for (const auto& [fault, name] : faults) {
        const Drawing broken = draw(Backend::Layer, fault);
        keepPictures(broken, name);
        ASSERT_TRUE(broken.problem.empty()) << name << ": " << broken.problem;
        ASSERT_EQ(broken.frames.size(), Mesa.frames.size());
        int failing = 0;
        for (size_t k = 0; k < Mesa.frames.size(); ++k) {
            const Difference d = compare(broken.frames[k], Mesa.frames[k]);
            std::printf("%s, %s: %.3f%% of pixels off\n", name, pictureName(k).c_str(),
                        d.differingShare * 100);
            if (!d.withinTolerance()) ++failing;
        }
        EXPECT_GT(failing, 0) << name << " went unnoticed";
    }
}

// Many ships, beams drawn wide: the batches take in the draws of many ships
// (hulls under different modelviews, shields, beams as triangles) and still
// draw what Mesa draws.
TEST_F(GLESLayerTest, DrawsALargeFleetInBatchesAsMesaDoes) {
    const Drawing mesa = draw(Backend::MesaFixedFunction, FixedFunctionFault::None,
                              LargeShipsPerSide, WideBeams, LargeFrames, LargeCaptureEvery);
    keepPictures(mesa, "mesa-large");
    const Drawing layer = draw(Backend::Layer, FixedFunctionFault::None, LargeShipsPerSide,
                               WideBeams, LargeFrames, LargeCaptureEvery);
    keepPictures(layer, "layer-large");
    ASSERT_TRUE(mesa.problem.empty()) << mesa.problem;
    ASSERT_TRUE(layer.problem.empty()) << layer.problem;
    ASSERT_EQ(layer.frames.size(), mesa.frames.size());
    for (size_t k = 0; k < mesa.frames.size(); ++k) {
        const Difference d = compare(layer.frames[k], mesa.frames[k]);
        std::printf("2 x %d, %s: largest channel difference %d, %.3f%% of pixels off by more "
                    "than %d\n",
                    LargeShipsPerSide, pictureName(k, LargeFrames, LargeCaptureEvery).c_str(),
                    d.maxChannel, d.differingShare * 100, ChannelTolerance);
        EXPECT_TRUE(d.withinTolerance()) << pictureName(k, LargeFrames, LargeCaptureEvery) << ": "
                                         << d.differingShare * 100 << "% differ";
    }
    // Each ship alone asks for a dozen draws or more a frame (five hull parts,
    // its shield, its beams and missiles); batched, the layer's draw calls are
    // a fraction of the ships.
    std::printf("2 x %d: %.0f draws asked for a frame, %.0f draw calls made\n", LargeShipsPerSide,
                double(layer.draws) / LargeFrames, double(layer.esDraws) / LargeFrames);
    EXPECT_GT(layer.draws, long(LargeFrames) * LargeShipsPerSide * 2 * 10);
    EXPECT_LT(layer.esDraws * 10, layer.draws);
}

// A context that lacks an entry point is named in the message; nothing is called.
void KGL_APIENTRY unusedEntry() {}
void* lookupAllBut(const char* name) {
    return std::strcmp(name, "glVertexAttribPointer") == 0 ? nullptr
                                                           : reinterpret_cast<void*>(unusedEntry);
}

TEST(GLESLayerInstall, NamesTheMissingEntryPoint) {
    std::string error;
    EXPECT_FALSE(installFixedFunctionLayer(lookupAllBut, error));
    EXPECT_NE(error.find("glVertexAttribPointer"), std::string::npos) << error;
    EXPECT_EQ(glDrawArrays, nullptr);
}
} // namespace
