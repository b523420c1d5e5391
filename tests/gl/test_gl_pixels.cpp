// Real pixels from Mesa's OpenGL: the table is bound from libGL.so.1 through
// the library loader, the context set-up runs with GLX standing in for wgl,
// and one frame's background is read back and compared with its images.
#include "battle/fleet.h"
#include "data/effects.h"
#include "data/scene.h"
#include "gl/binding.h"
#include "gl/context.h"
#include "gl/gl_state.h"
#include "gl/gl_table.h"
#include "platform/library.h"
#include "platform/memory_settings.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "shell/run_start.h"
#include "shell/settings.h"
#include "tests/support/effects_files.h"
#include "tests/support/race_files.h"
#include "tools/forge/forge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
// The few X11 and GLX entry points the test needs, looked up by name.
using Display = void;
using XID = unsigned long;
struct VisualInfo { // XVisualInfo
    void* visual;
    unsigned long visualid;
    int screen;
    int depth;
    int visualClass;
    unsigned long redMask, greenMask, blueMask;
    int colormapSize;
    int bitsPerRgb;
};

struct X11Calls {
    Display* (*openDisplay)(const char*);
    int (*closeDisplay)(Display*);
    int (*defaultScreen)(Display*);
    XID (*rootWindow)(Display*, int);
    XID (*createPixmap)(Display*, XID, unsigned, unsigned, unsigned);
    int (*freePixmap)(Display*, XID);
    int (*free)(void*);
    VisualInfo* (*chooseVisual)(Display*, int, int*);
    void* (*createContext)(Display*, VisualInfo*, void*, int);
    void (*destroyContext)(Display*, void*);
    int (*makeCurrent)(Display*, XID, void*);
    XID (*createGlxPixmap)(Display*, VisualInfo*, XID);
    void (*destroyGlxPixmap)(Display*, XID);
    void* (*getProcAddress)(const char*);
};

X11Calls X;
LibraryHandle X11Library = nullptr;
pid_t ServerProcess = 0;
Display* TheDisplay = nullptr;
std::string SetUpProblem;

template <typename F> void find(F& slot, LibraryHandle library, const char* name) {
    slot = reinterpret_cast<F>(librarySymbol(library, name));
    if (!slot && SetUpProblem.empty()) SetUpProblem = std::string("no ") + name;
}

// A private X server on a display number of its own choosing.
bool startServer() {
    int fds[2];
    if (pipe(fds) != 0) return false;
    ServerProcess = fork();
    if (ServerProcess == 0) {
        close(fds[0]);
        prctl(PR_SET_PDEATHSIG, SIGTERM); // never outlive the test, even when it crashes
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten",
               "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd wait = {fds[0], POLLIN, 0};
    while (poll(&wait, 1, 20000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) return false;
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
}

void stopServer() {
    if (ServerProcess <= 0) return;
    kill(ServerProcess, SIGTERM);
    waitpid(ServerProcess, nullptr, 0);
    ServerProcess = 0;
}

// The display counts only once a client reaches it: a server still shutting
// down can race ours for the number. Such a server of ours is replaced.
Display* openReachableDisplay() {
    for (int attempt = 0; attempt < 3; ++attempt) {
        for (int tries = 0; tries < 150; ++tries) {
            if (Display* display = X.openDisplay(nullptr)) return display;
            if (ServerProcess > 0 && waitpid(ServerProcess, nullptr, WNOHANG) == ServerProcess) {
                ServerProcess = 0;
                break;
            }
            usleep(200000);
        }
        if (!ServerProcess) return nullptr; // the display came from outside, or died: no retry
        stopServer();
        if (attempt == 2 || !startServer()) return nullptr;
    }
    return nullptr;
}

// GLX standing in for the window's device context and wgl.
XID Pixmap = 0, GlxPixmap = 0;
VisualInfo* Visual = nullptr;
int QuitPosts = 0, ProcessEnds = 0;

DeviceContext glxDisplay(void*) {
    return TheDisplay;
}

int32_t glxPixelFormat(DeviceContext, int colourBits, int depthBits) {
    (void)colourBits;
    int attributes[] = {4 /*GLX_RGBA*/,
                        8 /*GLX_RED_SIZE*/,
                        1,
                        9 /*GLX_GREEN_SIZE*/,
                        1,
                        10 /*GLX_BLUE_SIZE*/,
                        1,
                        12 /*GLX_DEPTH_SIZE*/,
                        depthBits,
                        0};
    Visual = X.chooseVisual(TheDisplay, X.defaultScreen(TheDisplay), attributes);
    if (!Visual) return 0;
    XID root = X.rootWindow(TheDisplay, X.defaultScreen(TheDisplay));
    Pixmap = X.createPixmap(TheDisplay, root, unsigned(ScreenWidth), unsigned(ScreenHeight),
                            unsigned(Visual->depth));
    GlxPixmap = X.createGlxPixmap(TheDisplay, Visual, Pixmap);
    return GlxPixmap ? 1 : 0;
}

RenderingContext glxCreate(DeviceContext) {
    return X.createContext(TheDisplay, Visual, nullptr, 1 /*direct*/);
}

void* glxLookup(const char* name, void*) {
    return X.getProcAddress(name);
}

int glxMakeCurrent(DeviceContext, RenderingContext rc) {
    if (!X.makeCurrent(TheDisplay, GlxPixmap, rc)) return 0;
    // What BindExtensions does on Windows, through GLX's own lookup.
    bindGLExtensions(glxLookup, nullptr);
    LastBoundContext = rc;
    return 1;
}

void ignore() {}
void countQuit() {
    ++QuitPosts;
}
void countEnd(int) {
    ++ProcessEnds;
}

// The pixmap is single-buffered: presenting is finishing.
int KGL_APIENTRY finishFrame(DeviceContext) {
    glFinish();
    return 1;
}
SymbolAddress findFinish() {
    return reinterpret_cast<SymbolAddress>(finishFrame);
}

struct Rgb {
    int r, g, b;
};

struct GLPixelsTest : ::testing::Test {
    TempDirectory directory;

    static void SetUpTestSuite() {
        if (!std::getenv("DISPLAY") && !startServer()) {
            SetUpProblem = "cannot start Xvfb (install the xvfb package)";
            return;
        }
        X11Library = openLibrary("libX11.so.6");
        if (!X11Library) {
            SetUpProblem = "cannot open libX11.so.6 (install libx11-6)";
            return;
        }
        find(X.openDisplay, X11Library, "XOpenDisplay");
        find(X.closeDisplay, X11Library, "XCloseDisplay");
        find(X.defaultScreen, X11Library, "XDefaultScreen");
        find(X.rootWindow, X11Library, "XRootWindow");
        find(X.createPixmap, X11Library, "XCreatePixmap");
        find(X.freePixmap, X11Library, "XFreePixmap");
        find(X.free, X11Library, "XFree");
        if (!SetUpProblem.empty()) return;
        TheDisplay = openReachableDisplay();
        if (!TheDisplay) {
            SetUpProblem = "cannot open the X display";
            return;
        }

        const int32_t bound = LoadGLBindings("libGL.so.1");
        if (bound != 0) {
            SetUpProblem =
                "binding libGL.so.1 gave " + std::to_string(bound) + " (install libgl1-mesa-dri)";
            return;
        }
        find(X.chooseVisual, GLLibrary, "glXChooseVisual");
        find(X.createContext, GLLibrary, "glXCreateContext");
        find(X.destroyContext, GLLibrary, "glXDestroyContext");
        find(X.makeCurrent, GLLibrary, "glXMakeCurrent");
        find(X.createGlxPixmap, GLLibrary, "glXCreateGLXPixmap");
        find(X.destroyGlxPixmap, GLLibrary, "glXDestroyGLXPixmap");
        find(X.getProcAddress, GLLibrary, "glXGetProcAddressARB");
    }

    static void TearDownTestSuite() {
        // The display first: closing it runs GLX's hooks, which live in the GL library.
        if (TheDisplay) X.closeDisplay(TheDisplay);
        TheDisplay = nullptr;
        if (BindCount > 0) UnloadGLBindings();
        if (X11Library) closeLibrary(X11Library);
        X11Library = nullptr;
        stopServer();
    }

    void SetUp() override {
        ASSERT_TRUE(SetUpProblem.empty()) << SetUpProblem;
        installMemorySettings();
        ProgramDirectory = directory.path;
        BuildFleets = buildFleetsFromSettings;
        ScreenWidth = 800;
        ScreenHeight = 600;
        MultitextureAvailable = 1;
        QuitPosts = ProcessEnds = 0;
    }

    void TearDown() override {
        if (TheDisplay && X.makeCurrent) X.makeCurrent(TheDisplay, 0, nullptr);
        if (RenderContext) X.destroyContext(TheDisplay, RenderContext);
        if (GlxPixmap) X.destroyGlxPixmap(TheDisplay, GlxPixmap);
        if (Pixmap) X.freePixmap(TheDisplay, Pixmap);
        if (Visual) X.free(Visual);
        RenderContext = nullptr;
        GlxPixmap = Pixmap = 0;
        Visual = nullptr;
        releaseFleet(Fleets[0]);
        releaseFleet(Fleets[1]);
        ActiveSettings = nullptr;
        ProgramDirectory.clear();
    }

    static ContextSetUp setUpContext() {
        ContextSetUpCalls calls = {glxDisplay, glxPixelFormat, glxCreate, glxMakeCurrent,
                                   ignore,     countQuit,      countEnd,  findFinish};
        return startRun(nullptr, calls);
    }

    // The frame as it ended up on the screen, row 0 at the top.
    static std::vector<uint8_t> readScreen() {
        std::vector<uint8_t> pixels(size_t(ScreenWidth * ScreenHeight * 3));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, ScreenWidth, ScreenHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        std::vector<uint8_t> topDown(pixels.size());
        const size_t row = size_t(ScreenWidth) * 3;
        for (int y = 0; y < ScreenHeight; ++y)
            std::copy_n(pixels.begin() + ptrdiff_t(size_t(ScreenHeight - 1 - y) * row), row,
                        topDown.begin() + ptrdiff_t(size_t(y) * row));
        return topDown;
    }

    static Rgb screenAt(const std::vector<uint8_t>& screen, int x, int y) {
        const uint8_t* p = &screen[(size_t(y) * size_t(ScreenWidth) + size_t(x)) * 3];
        return {p[0], p[1], p[2]};
    }
};

// Where each background slot lies: the top row shows 3, 4, 5, the bottom row 0, 1, 2.
struct TileArea {
    double xa, xb, ya, yb;
};
TileArea tileOf(int slot) {
    const double x[4] = {0, ScreenWidth / 3.0, ScreenWidth * 2 / 3.0, double(ScreenWidth)};
    const double ym = ScreenHeight / 2;
    const int column = slot % 3;
    return slot >= 3 ? TileArea{x[column], x[column + 1], 0, ym}
                     : TileArea{x[column], x[column + 1], ym, double(ScreenHeight)};
}

// The colour linear filtering with repeat gives at texture point (s, t).
Rgb sampleBgr(const TextureImage& image, double s, double t) {
    const double u = s * image.width - 0.5, v = t * image.height - 0.5;
    const int u0 = int(std::floor(u)), v0 = int(std::floor(v));
    const double fu = u - u0, fv = v - v0;
    double sum[3] = {0, 0, 0};
    for (int dv = 0; dv < 2; ++dv)
        for (int du = 0; du < 2; ++du) {
            const int tu = ((u0 + du) % image.width + image.width) % image.width;
            const int tv = ((v0 + dv) % image.height + image.height) % image.height;
            const uint8_t* p = &image.pixels[(size_t(tv) * size_t(image.width) + size_t(tu)) * 3];
            const double weight = (du ? fu : 1 - fu) * (dv ? fv : 1 - fv);
            for (int c = 0; c < 3; ++c)
                sum[c] += weight * p[2 - c]; // stored blue first
        }
    return {int(std::lround(sum[0])), int(std::lround(sum[1])), int(std::lround(sum[2]))};
}

bool near(Rgb a, Rgb b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

std::string text(Rgb c) {
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) +
           ")";
}
} // namespace

TEST_F(GLPixelsTest, TheBackgroundTilesShowTheirImagesRightWayUp) {
    // Five pixels wide, so rows are not 4-byte aligned; each row one colour.
    EffectsFileRecord effects = smallEffects();
    std::vector<std::array<Rgb, 2>> rows;
    for (int slot = 0; slot < 6; ++slot) {
        const Rgb top = {40 * slot + 10, 200 - 30 * slot, 90};
        const Rgb bottom = {250 - 20 * slot, 30, 60 + 30 * slot};
        rows.push_back({top, bottom});
        ImageRecord& image = effects.backgrounds[size_t(slot)];
        image.width = 5;
        image.height = 2;
        image.pixels.clear();
        for (const Rgb& colour : {top, bottom})
            for (int x = 0; x < 5; ++x)
                image.pixels.insert(image.pixels.end(),
                                    {uint8_t(colour.b), uint8_t(colour.g), uint8_t(colour.r)});
    }
    writeEffects(directory.path, effects);

    ASSERT_EQ(setUpContext(), ContextSetUp::Ready);
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
    // Mesa offers multitexturing; the extension pointers came with the context.
    EXPECT_EQ(MultitextureAvailable, 1);
    ASSERT_NE(glActiveTextureARB, nullptr);
    RunFrame();
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
    const std::vector<uint8_t> screen = readScreen();

    // Texel centres: a quarter and three quarters down each tile.
    for (int slot = 0; slot < 6; ++slot) {
        const TileArea tile = tileOf(slot);
        const int x = int((tile.xa + tile.xb) / 2);
        for (int row = 0; row < 2; ++row) {
            const int y = int(tile.ya + (tile.yb - tile.ya) * (row ? 0.75 : 0.25));
            const Rgb seen = screenAt(screen, x, y);
            EXPECT_TRUE(near(seen, rows[size_t(slot)][size_t(row)], 3))
                << "slot " << slot << " row " << row << ": " << text(seen) << " instead of "
                << text(rows[size_t(slot)][size_t(row)]);
        }
    }
    EXPECT_EQ(QuitPosts, 0);
}

TEST_F(GLPixelsTest, TheDefaultDataSetDrawsItsBackdropAndUploadsItsRaces) {
    std::string error;
    ASSERT_TRUE(writeDefaultDataSet(directory.path, &error)) << error;
    const std::vector<NamedRace> races = buildDefaultRaces();
    ASSERT_GE(races.size(), 2u);
    ASSERT_TRUE(writeAllianceList(
        1, {fleetEntryText(races[0].record.raceName, 2, races[0].record.description)}));
    ASSERT_TRUE(writeAllianceList(
        2, {fleetEntryText(races[1].record.raceName, 2, races[1].record.description)}));

    ASSERT_EQ(setUpContext(), ContextSetUp::Ready);
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
    EXPECT_EQ(Fleets[0].shipCount, 2);
    EXPECT_EQ(Fleets[1].shipCount, 2);
    EXPECT_EQ(Effects.explosionFrameCount, 50);

    // The driver keeps every texture the frames bind: one it reports as not
    // resident would be specified again from its image on every bind.
    std::vector<GLuint> bound(Effects.explosionTextures, Effects.explosionTextures + 50);
    for (GLuint name :
         {Effects.shieldTexture, Effects.blastTexture, Effects.smokeTexture, Effects.damageTexture})
        bound.push_back(name);
    for (const FleetState& fleet : Fleets)
        for (int r = 0; r < fleet.raceCount; ++r) {
            const RaceData& race = fleet.races[r];
            bound.push_back(race.projectileTexture);
            for (int part = 0; part < race.meshCount; ++part)
                bound.push_back(race.meshes[part].texture);
        }
    for (GLuint name : bound) {
        GLboolean residence = GL_FALSE;
        EXPECT_EQ(glAreTexturesResident(1, &name, &residence), GL_TRUE) << "texture " << name;
    }

    // Without ships the frame is the backdrop alone: compare it with the images.
    releaseFleet(Fleets[0]);
    releaseFleet(Fleets[1]);
    RunFrame();
    EXPECT_EQ(glGetError(), GL_NO_ERROR);
    const std::vector<uint8_t> screen = readScreen();
    int checked = 0, matched = 0;
    for (int slot = 0; slot < 6; ++slot) {
        const TileArea tile = tileOf(slot);
        for (int j = 1; j < 12; ++j)
            for (int i = 1; i < 12; ++i) {
                const int x = int(tile.xa + (tile.xb - tile.xa) * i / 12.0);
                const int y = int(tile.ya + (tile.yb - tile.ya) * j / 12.0);
                const double s = (x + 0.5 - tile.xa) / (tile.xb - tile.xa);
                const double t = (y + 0.5 - tile.ya) / (tile.yb - tile.ya);
                const Rgb expected = sampleBgr(Effects.backgroundImages[slot], s, t);
                ++checked;
                if (near(screenAt(screen, x, y), expected, 12)) ++matched;
            }
    }
    // Rasterisation may round a few samples differently; a wrong channel order,
    // a flipped tile or a broken upload misses nearly all of them.
    EXPECT_GE(matched, checked * 95 / 100) << matched << " of " << checked << " samples match";
}
