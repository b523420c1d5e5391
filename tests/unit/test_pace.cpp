// Frames at the display's pace: the pacer's decision, the swap interval asked
// of the driver, the display's power state and the clock held meanwhile.
#include "gl/binding.h"
#include "gl/swap_interval.h"
#include "platform/clock.h"
#include "platform/library.h"
#include "shell/display_power.h"
#include "shell/pacer.h"
#include "tests/support/recording_gl.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
// A loop of frames that each take `drawMs`, with whatever wait the pacer asks
// for between them; the frames started within `spanMs` from `start`.
int framesIn(FramePacer& pacer, uint32_t start, uint32_t drawMs, uint32_t spanMs) {
    uint32_t now = start;
    int frames = 0;
    while (now - start < spanMs) {
        now += pacerWaitMs(pacer, now);
        ++frames;
        now += drawMs;
        pacerFrameDone(pacer, now);
    }
    return frames;
}
} // namespace

TEST(Pacer, FramesThatOutrunTheDisplayAreHeldToItsRate) {
    for (uint32_t start : {100000u, 0u - 300u}) { // also across the clock's wrap
        FramePacer pacer = makeFramePacer(60, true);
        // The swap does not wait: a frame every 2 ms until the measure shows
        // it, which takes no more frames than the display shows in 0.4 s.
        uint32_t now = start;
        int unpaced = 0;
        while (!pacer.waiting && unpaced < 1000) {
            ++unpaced;
            now += 2;
            pacerFrameDone(pacer, now);
        }
        EXPECT_EQ(unpaced, 24);
        EXPECT_NEAR(framesIn(pacer, now, 2, 10000), 600, 1); // 60 a second
    }
    FramePacer at144 = makeFramePacer(144, true);
    framesIn(at144, 5000, 1, 400);
    EXPECT_NEAR(framesIn(at144, 5400, 1, 10000), 1440, 1);
}

TEST(Pacer, FramesAtTheDisplaysRateOrBelowAreNeverHeld) {
    // The swap waits for a 60 Hz display: 16 or 17 ms a frame.
    FramePacer synced = makeFramePacer(60, true);
    uint32_t now = 0;
    for (int i = 0; i < 600; ++i) {
        now += i % 3 ? 17 : 16;
        EXPECT_EQ(pacerWaitMs(synced, now), 0u);
        pacerFrameDone(synced, now);
    }
    EXPECT_FALSE(synced.waiting);
    // A slow renderer at 15 frames a second, and the bench's unpaced runs.
    FramePacer slow = makeFramePacer(60, true);
    EXPECT_EQ(framesIn(slow, 0, 66, 10000), 152);
    FramePacer unpaced = makeFramePacer(60, false);
    EXPECT_EQ(framesIn(unpaced, 0, 2, 1000), 500);
    EXPECT_FALSE(unpaced.waiting);
}

TEST(Pacer, ALateFrameIsNotMadeUpForWithABurst) {
    FramePacer pacer = makeFramePacer(50, true); // 20 ms a frame
    framesIn(pacer, 0, 1, 400);
    ASSERT_TRUE(pacer.waiting);
    uint32_t now = 1000;
    now += pacerWaitMs(pacer, now);
    now += 300; // a screenshot, say
    pacerFrameDone(pacer, now);
    EXPECT_EQ(pacerWaitMs(pacer, now), 0u);
    now += 1;
    pacerFrameDone(pacer, now);
    EXPECT_EQ(pacerWaitMs(pacer, now), 19u) << "the next frame keeps its distance";
    EXPECT_LE(pacerWaitMs(pacer, now - 5000), 21u) << "never more than one period";
}

TEST(Pacer, UnknownRatesCountAsSixtyHertz) {
    EXPECT_EQ(displayRefreshHz(0), 60);
    EXPECT_EQ(displayRefreshHz(1), 60); // Windows: the hardware's default
    EXPECT_EQ(displayRefreshHz(-3), 60);
    EXPECT_EQ(displayRefreshHz(75), 75);
    EXPECT_EQ(makeFramePacer(0, true).periodUs, 16667u);
    EXPECT_EQ(makeFramePacer(30, true).periodUs, 33333u);
}

namespace {
std::vector<unsigned char> notification(const unsigned char* guid, uint32_t length,
                                        uint32_t value) {
    std::vector<unsigned char> bytes(guid, guid + 16);
    for (uint32_t v : {length, value})
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
    return bytes;
}
} // namespace

TEST(DisplayPowerNotification, ReadsTheConsoleDisplaysStateAndNothingElse) {
    DisplayPower state = DisplayPower::On;
    EXPECT_TRUE(decodeDisplayPower(notification(ConsoleDisplayStateGuid, 4, 0).data(), state));
    EXPECT_EQ(state, DisplayPower::Off);
    EXPECT_TRUE(decodeDisplayPower(notification(ConsoleDisplayStateGuid, 4, 2).data(), state));
    EXPECT_EQ(state, DisplayPower::Dimmed);
    EXPECT_TRUE(decodeDisplayPower(notification(ConsoleDisplayStateGuid, 4, 1).data(), state));
    EXPECT_EQ(state, DisplayPower::On);

    // GUID_MONITOR_POWER_ON, an unknown value, data too short: the state stays.
    const unsigned char monitorPowerOn[16] = {0x15, 0x10, 0x73, 0x02, 0x10, 0x45, 0x26, 0x45,
                                              0x99, 0xE6, 0xE5, 0xA1, 0x7E, 0xBD, 0x1A, 0xEA};
    EXPECT_FALSE(decodeDisplayPower(notification(monitorPowerOn, 4, 0).data(), state));
    EXPECT_FALSE(decodeDisplayPower(notification(ConsoleDisplayStateGuid, 4, 3).data(), state));
    EXPECT_FALSE(decodeDisplayPower(notification(ConsoleDisplayStateGuid, 0, 0).data(), state));
    EXPECT_FALSE(decodeDisplayPower(nullptr, state));
    EXPECT_EQ(state, DisplayPower::On);
}

TEST(HeldClock, StandsStillAndGoesOnFromWhereItStood) {
    useFakeClock(0u - 100u);
    advanceFakeClock(40);
    holdClock();
    advanceFakeClock(60000); // through the wrap
    EXPECT_EQ(clockNow(), 0u - 60u);
    holdClock(); // twice is once
    releaseClock();
    EXPECT_EQ(clockNow(), 0u - 60u);
    advanceFakeClock(100);
    EXPECT_EQ(clockNow(), 40u);
    EXPECT_FALSE(clockHeld());
    useFakeClock(7); // a fresh clock leaves out nothing
    EXPECT_EQ(clockNow(), 7u);
    setClockSource(nullptr);
}

namespace {
// The driver's swap-control functions, counting their calls.
struct SwapCalls {
    std::vector<std::string> names;
    std::vector<long> arguments;
    int answer = 1;
    std::string wglExtensions; // what wglGetExtensionsStringEXT lists
    std::string glxExtensions;
} Swap;

int KGL_APIENTRY wglSwapInterval(int interval) {
    Swap.names.push_back("wglSwapIntervalEXT");
    Swap.arguments.push_back(interval);
    return Swap.answer;
}
const char* KGL_APIENTRY wglExtensionsString() {
    return Swap.wglExtensions.c_str();
}
SymbolAddress KGL_APIENTRY wglLookup(const char* name) {
    if (std::strcmp(name, "wglSwapIntervalEXT") == 0)
        return reinterpret_cast<void*>(wglSwapInterval);
    if (std::strcmp(name, "wglGetExtensionsStringEXT") == 0)
        return reinterpret_cast<void*>(wglExtensionsString);
    return nullptr;
}

SymbolAddress glxLookup(const char*) {
    return nullptr;
}

int TheDisplay = 0;
const char* glxExtensionsString(void* display, int screen) {
    EXPECT_EQ(display, &TheDisplay);
    EXPECT_EQ(screen, 0);
    return Swap.glxExtensions.c_str();
}
void glxSwapIntervalEXT(void* display, unsigned long drawable, int interval) {
    EXPECT_EQ(display, &TheDisplay);
    Swap.names.push_back("glXSwapIntervalEXT");
    Swap.arguments.insert(Swap.arguments.end(), {long(drawable), interval});
}
int glxSwapIntervalMESA(unsigned interval) {
    Swap.names.push_back("glXSwapIntervalMESA");
    Swap.arguments.push_back(long(interval));
    return Swap.answer ? 0 : 1;
}

struct SwapIntervalTest : ::testing::Test {
    void SetUp() override {
        Swap = SwapCalls();
        installFakeLibraries();
        installRecordingGL("GL_ARB_multitexture");
    }
    void TearDown() override {
        GLLibrary = nullptr;
        removeFakeLibraries();
    }
    void driver(const char* fileName, const std::vector<std::pair<const char*, void*>>& exports) {
        FakeLibrary& library = addFakeLibrary(fileName);
        for (const auto& [name, address] : exports)
            library.symbols[name] = address;
        GLLibrary = openLibrary(fileName);
    }
};
} // namespace

TEST_F(SwapIntervalTest, WglAsksForOneWhereEitherExtensionStringListsIt) {
    driver("opengl32.dll", {{"wglGetProcAddress", reinterpret_cast<void*>(wglLookup)}});
    RecordingGL.extensions = "GL_ARB_multitexture WGL_EXT_swap_control";
    EXPECT_EQ(askWglSwapInterval(nullptr), SwapInterval::Set);
    RecordingGL.extensions = "GL_ARB_multitexture";
    Swap.wglExtensions = "WGL_ARB_pixel_format WGL_EXT_swap_control";
    Swap.answer = 0;
    EXPECT_EQ(askWglSwapInterval(nullptr), SwapInterval::Refused);
    EXPECT_EQ(Swap.names, (std::vector<std::string>{"wglSwapIntervalEXT", "wglSwapIntervalEXT"}));
    EXPECT_EQ(Swap.arguments, (std::vector<long>{1, 1}));
}

TEST_F(SwapIntervalTest, WithoutTheExtensionNothingIsAsked) {
    driver("opengl32.dll", {{"wglGetProcAddress", reinterpret_cast<void*>(wglLookup)}});
    Swap.wglExtensions = "WGL_EXT_swap_control_tear"; // another extension's name
    EXPECT_EQ(askWglSwapInterval(nullptr), SwapInterval::NotOffered);
    EXPECT_EQ(callsNamed("glGetString").size(), 1u);
    // A driver without the lookup, or listing it with no entry point to call.
    driver("opengl.dll", {});
    RecordingGL.extensions = "WGL_EXT_swap_control";
    EXPECT_EQ(askWglSwapInterval(nullptr), SwapInterval::NotOffered);
    EXPECT_TRUE(Swap.names.empty());
}

TEST_F(SwapIntervalTest, GlxPrefersTheDrawablesIntervalThenMesas) {
    driver("libGL.so.1",
           {{"glXGetProcAddressARB", reinterpret_cast<void*>(glxLookup)},
            {"glXQueryExtensionsString", reinterpret_cast<void*>(glxExtensionsString)},
            {"glXSwapIntervalEXT", reinterpret_cast<void*>(glxSwapIntervalEXT)},
            {"glXSwapIntervalMESA", reinterpret_cast<void*>(glxSwapIntervalMESA)}});
    Swap.glxExtensions = "GLX_ARB_create_context GLX_MESA_swap_control GLX_EXT_swap_control";
    EXPECT_EQ(askGlxSwapInterval(&TheDisplay, 0, 0x400007), SwapInterval::Set);
    Swap.glxExtensions = "GLX_MESA_swap_control";
    EXPECT_EQ(askGlxSwapInterval(&TheDisplay, 0, 0x400007), SwapInterval::Set);
    Swap.glxExtensions = "GLX_EXT_swap_control_tear GLX_SGI_make_current_read";
    EXPECT_EQ(askGlxSwapInterval(&TheDisplay, 0, 0x400007), SwapInterval::NotOffered);
    EXPECT_EQ(Swap.names, (std::vector<std::string>{"glXSwapIntervalEXT", "glXSwapIntervalMESA"}));
    EXPECT_EQ(Swap.arguments, (std::vector<long>{0x400007, 1, 1}));
}
