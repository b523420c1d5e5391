#include "battle/fleet.h"
#include "data/effects.h"
#include "data/scene.h"
#include "gl/binding.h"
#include "gl/context.h"
#include "gl/gl_state.h"
#include "gl/wgl.h"
#include "platform/library.h"
#include "platform/memory_settings.h"
#include "render/smoke.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/run_start.h"
#include "tests/support/effects_files.h"
#include "tests/support/race_files.h"
#include "tests/support/recording_gl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {
std::vector<std::string> Log;
PixelFormatDescriptor LastRequest;
int SystemResult = 0;
int DriverMakeCurrentResult = 1;
int ExtensionQueries = 0;

DeviceContext const TheDC = reinterpret_cast<DeviceContext>(0xDC);
RenderingContext const TheRC = reinterpret_cast<RenderingContext>(0x6C);

int systemChoose(DeviceContext, const PixelFormatDescriptor* request) {
    Log.push_back("ChoosePixelFormat");
    LastRequest = *request;
    return SystemResult;
}
int systemSet(DeviceContext, int, const PixelFormatDescriptor*) {
    Log.push_back("SetPixelFormat");
    return SystemResult;
}
int systemSwap(DeviceContext) {
    Log.push_back("SwapBuffers");
    return SystemResult;
}

int KGL_APIENTRY driverChoose(DeviceContext, const PixelFormatDescriptor*) {
    Log.push_back("wglChoosePixelFormat");
    return 7;
}
int KGL_APIENTRY driverSet(DeviceContext, int format, const PixelFormatDescriptor*) {
    Log.push_back("wglSetPixelFormat " + std::to_string(format));
    return 1;
}
int KGL_APIENTRY driverSwap(DeviceContext dc) {
    Log.push_back(dc == TheDC ? "wglSwapBuffers dc" : "wglSwapBuffers ?");
    return 1;
}
int KGL_APIENTRY driverMakeCurrent(DeviceContext, RenderingContext) {
    Log.push_back("wglMakeCurrent");
    return DriverMakeCurrentResult;
}
SymbolAddress KGL_APIENTRY driverGetProcAddress(const char*) {
    ++ExtensionQueries;
    return nullptr;
}

// Platform side of the context set-up.
DeviceContext fakeGetDC(void* window) {
    Log.push_back(window == reinterpret_cast<void*>(0x3E) ? "GetDC" : "GetDC ?");
    return TheDC;
}
int32_t PixelFormatResult = 1;
int32_t fakePixelFormat(DeviceContext dc, int colourBits, int depthBits) {
    Log.push_back("SetupPixelFormat " + std::to_string(colourBits) + " " +
                  std::to_string(depthBits) + (dc == TheDC ? "" : " ?"));
    return PixelFormatResult;
}
RenderingContext CreatedContext = TheRC;
RenderingContext fakeCreate(DeviceContext) {
    Log.push_back("wglCreateContext");
    return CreatedContext;
}
int MakeCurrentResult = 1;
int fakeMakeCurrent(DeviceContext dc, RenderingContext rc) {
    Log.push_back(std::string("wglMakeCurrent") + (dc == TheDC && rc == TheRC ? "" : " ?"));
    return MakeCurrentResult;
}
void fakeRestore() {
    Log.push_back("restore");
}
void fakePostQuit() {
    Log.push_back("PostQuitMessage");
}
void fakeEnd(int code) {
    Log.push_back("end " + std::to_string(code));
}
SymbolAddress SwapEntry = reinterpret_cast<SymbolAddress>(driverSwap);
SymbolAddress fakeFindSwap() {
    Log.push_back("find wglSwapBuffers");
    return SwapEntry;
}

std::vector<std::string> Messages;
int recordMessage(MessageOwner owner, const char* text, const char* caption, unsigned flags) {
    Messages.push_back(std::string(owner == MessageOwner::None ? "" : "owned ") + text + " / " +
                       caption + (flags == MessageOk ? "" : " ?"));
    return 1;
}

void resetAll() {
    Log.clear();
    Messages.clear();
    SystemResult = 0;
    DriverMakeCurrentResult = 1;
    ExtensionQueries = 0;
    PixelFormatResult = 1;
    CreatedContext = TheRC;
    MakeCurrentResult = 1;
    SwapEntry = reinterpret_cast<SymbolAddress>(driverSwap);
    GLLibrary = GLULibrary = nullptr;
    BindCount = 0;
    DriverPixelFormatMode = 0;
    LastBoundContext = nullptr;
    SystemPixelFormat = {};
    MultitextureAvailable = 1;
}

struct WglTest : ::testing::Test {
    FakeLibrary* driver = nullptr;
    void SetUp() override {
        resetAll();
        installFakeLibraries();
        driver = &addFakeLibrary("opengl32.dll");
        driver->symbols["wglChoosePixelFormat"] = reinterpret_cast<void*>(driverChoose);
        driver->symbols["wglSetPixelFormat"] = reinterpret_cast<void*>(driverSet);
        driver->symbols["wglSwapBuffers"] = reinterpret_cast<void*>(driverSwap);
        driver->symbols["wglMakeCurrent"] = reinterpret_cast<void*>(driverMakeCurrent);
        driver->symbols["wglGetProcAddress"] = reinterpret_cast<void*>(driverGetProcAddress);
        GLLibrary = openLibrary("opengl32.dll");
        SystemPixelFormat = {systemChoose, systemSet, nullptr, systemSwap};
    }
    void TearDown() override {
        resetAll();
        removeFakeLibraries();
    }
};
} // namespace

TEST_F(WglTest, TheSystemAnswersFirstWhileDriverModeIsClear) {
    SystemResult = 3;
    EXPECT_EQ(SetupPixelFormat(TheDC, 16, 16), 1);
    EXPECT_EQ(Log, (std::vector<std::string>{"ChoosePixelFormat", "SetPixelFormat"}));
    EXPECT_EQ(DriverPixelFormatMode, 0);

    // The 40-byte request: only size, version, flags, type and the two depths are set.
    unsigned char expected[40] = {};
    expected[0] = 40;   // nSize
    expected[2] = 1;    // nVersion
    expected[4] = 0x25; // draw to window, support OpenGL, double buffer
    expected[8] = 0;    // RGBA
    expected[9] = 16;   // colour bits
    expected[23] = 16;  // depth bits
    EXPECT_EQ(std::memcmp(&LastRequest, expected, 40), 0);
}

TEST_F(WglTest, DriverModeSkipsTheSystemAndAFallbackSetsIt) {
    DriverPixelFormatMode = 1;
    SystemResult = 3;
    EXPECT_EQ(wrapChoosePixelFormat(TheDC, &LastRequest), 7);
    EXPECT_EQ(Log, (std::vector<std::string>{"wglChoosePixelFormat"}));

    // A failing system function falls back to the driver's and the mode sticks.
    Log.clear();
    DriverPixelFormatMode = 0;
    SystemResult = 0;
    EXPECT_EQ(SetupPixelFormat(TheDC, 16, 16), 1);
    EXPECT_EQ(Log, (std::vector<std::string>{"ChoosePixelFormat", "wglChoosePixelFormat",
                                             "wglSetPixelFormat 7"}));
    EXPECT_EQ(DriverPixelFormatMode, 1);
}

TEST_F(WglTest, FallbacksWithoutADriverFunctionOrLibraryFail) {
    driver->symbols.erase("wglChoosePixelFormat");
    EXPECT_EQ(SetupPixelFormat(TheDC, 16, 16), 0);
    EXPECT_EQ(Log, (std::vector<std::string>{"ChoosePixelFormat"}));
    EXPECT_EQ(DriverPixelFormatMode, 0);

    // The swap falls back too, but does not switch the mode.
    Log.clear();
    EXPECT_EQ(wrapSwapBuffers(TheDC), 1);
    EXPECT_EQ(Log, (std::vector<std::string>{"SwapBuffers", "wglSwapBuffers dc"}));
    EXPECT_EQ(DriverPixelFormatMode, 0);

    // Without the driver library nothing is tried at all.
    Log.clear();
    GLLibrary = nullptr;
    SystemResult = 3;
    EXPECT_EQ(wrapChoosePixelFormat(TheDC, &LastRequest), 0);
    EXPECT_EQ(wrapCreateContext(TheDC), nullptr);
    EXPECT_EQ(wrapMakeCurrent(TheDC, TheRC), 0);
    EXPECT_TRUE(Log.empty());
}

TEST_F(WglTest, MakeCurrentBindsExtensionsOncePerNewContext) {
    EXPECT_EQ(wrapMakeCurrent(TheDC, TheRC), 1);
    EXPECT_EQ(ExtensionQueries, GLExtensionFunctionCount);
    EXPECT_EQ(LastBoundContext, TheRC);
    EXPECT_EQ(wrapMakeCurrent(TheDC, TheRC), 1);
    EXPECT_EQ(ExtensionQueries, GLExtensionFunctionCount);

    RenderingContext other = reinterpret_cast<RenderingContext>(0x77);
    DriverMakeCurrentResult = 0;
    EXPECT_EQ(wrapMakeCurrent(TheDC, other), 0);
    EXPECT_EQ(ExtensionQueries, GLExtensionFunctionCount);
    EXPECT_EQ(LastBoundContext, TheRC);
    DriverMakeCurrentResult = 1;
    EXPECT_EQ(wrapMakeCurrent(TheDC, other), 1);
    EXPECT_EQ(ExtensionQueries, 2 * GLExtensionFunctionCount);
}

namespace {
struct ContextTest : ::testing::Test {
    TempDirectory directory;
    ContextSetUpCalls calls = {};
    void* const window = reinterpret_cast<void*>(0x3E);

    void SetUp() override {
        resetAll();
        installRecordingGL();
        installMemorySettings();
        ShowMessage = recordMessage;
        ProgramDirectory = directory.path;
        BuildFleets = buildFleetsFromSettings;
        writeEffects(directory.path, smallEffects());
        ScreenWidth = 1024;
        ScreenHeight = 768;
        FrameSwap = nullptr;
        calls = {fakeGetDC,   fakePixelFormat, fakeCreate, fakeMakeCurrent,
                 fakeRestore, fakePostQuit,    fakeEnd,    fakeFindSwap};
    }
    void TearDown() override {
        resetAll();
        ShowMessage = showMessageOnStderr;
        ActiveSettings = nullptr;
        ProgramDirectory.clear();
        ScreenWidth = 800;
        ScreenHeight = 600;
        FrameSwap = nullptr;
        releasePuffList();
        releaseLoadedEffects();
    }
};
} // namespace

TEST_F(ContextTest, AllStepsRunInOrderAndInstallTheSwap) {
    EXPECT_EQ(startRun(window, calls), ContextSetUp::Ready);
    EXPECT_EQ(Log, (std::vector<std::string>{"GetDC", "SetupPixelFormat 16 16", "wglCreateContext",
                                             "wglMakeCurrent", "find wglSwapBuffers"}));
    EXPECT_EQ(WindowDC, TheDC);
    EXPECT_EQ(RenderContext, TheRC);
    // The extension test comes before the scene's first call.
    ASSERT_GE(RecordingGL.calls.size(), 2u);
    EXPECT_EQ(RecordingGL.calls[0].name, "glGetString");
    EXPECT_EQ(RecordingGL.calls[1].name, "glClearColor");
    EXPECT_EQ(MultitextureAvailable, 1);
    EXPECT_NE(Effects.spriteMesh.vertices, nullptr);
    ASSERT_NE(PuffListHead, nullptr);
    EXPECT_EQ(PuffListHead->next, nullptr);
    EXPECT_TRUE(Messages.empty());

    Log.clear();
    ASSERT_NE(FrameSwap, nullptr);
    FrameSwap();
    EXPECT_EQ(Log, (std::vector<std::string>{"wglSwapBuffers dc"}));
}

TEST_F(ContextTest, MultitextureIsAPlainSubstringTest) {
    RecordingGL.extensions = "GL_EXT_bgra GL_ARB_multitexture_plus";
    startRun(window, calls);
    EXPECT_EQ(MultitextureAvailable, 1);

    MultitextureAvailable = 1;
    installRecordingGL("GL_EXT_bgra GL_ARB_texture_env_add");
    startRun(window, calls);
    EXPECT_EQ(MultitextureAvailable, 0);
    EXPECT_EQ(findCall("glActiveTextureARB"), -1);
    EXPECT_EQ(findCall("glClientActiveTextureARB"), -1);
}

TEST_F(ContextTest, EarlyFailuresPostQuitAndStop) {
    PixelFormatResult = 0;
    EXPECT_EQ(startRun(window, calls), ContextSetUp::QuitPosted);
    EXPECT_EQ(Log,
              (std::vector<std::string>{"GetDC", "SetupPixelFormat 16 16", "PostQuitMessage"}));

    Log.clear();
    PixelFormatResult = 1;
    CreatedContext = nullptr;
    EXPECT_EQ(startRun(window, calls), ContextSetUp::QuitPosted);
    EXPECT_EQ(Log.back(), "PostQuitMessage");
    EXPECT_EQ(std::count(Log.begin(), Log.end(), "wglMakeCurrent"), 0);
    EXPECT_TRUE(RecordingGL.calls.empty());
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(PuffListHead, nullptr);
}

TEST_F(ContextTest, AContextThatCannotBeMadeCurrentIsReportedAndTheModeRestored) {
    MakeCurrentResult = 0;
    EXPECT_EQ(startRun(window, calls), ContextSetUp::QuitPosted);
    EXPECT_EQ(Messages,
              (std::vector<std::string>{"Your 3d Card does not support 1024x768 / Error"}));
    EXPECT_EQ(Log, (std::vector<std::string>{"GetDC", "SetupPixelFormat 16 16", "wglCreateContext",
                                             "wglMakeCurrent", "restore", "PostQuitMessage"}));
    EXPECT_TRUE(RecordingGL.calls.empty());
}

TEST_F(ContextTest, AMissingSceneEndsTheProcessSilently) {
    std::remove((directory.path + "Explosion.as").c_str());
    EXPECT_EQ(startRun(window, calls), ContextSetUp::ProcessEnded);
    EXPECT_EQ(Log.back(), "end 0");
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(FrameSwap, nullptr);
}

TEST_F(ContextTest, NoSwapEntryPostsQuitAfterTheScene) {
    SwapEntry = nullptr;
    EXPECT_EQ(startRun(window, calls), ContextSetUp::QuitPosted);
    EXPECT_EQ(Log.back(), "PostQuitMessage");
    EXPECT_NE(findCall("glTexImage2D"), -1);
    EXPECT_NE(PuffListHead, nullptr);
    EXPECT_TRUE(Messages.empty());
}
