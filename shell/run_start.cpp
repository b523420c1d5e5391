#include "shell/run_start.h"

#include "battle/fleet.h"
#include "data/scene.h"
#include "gl/gl_state.h"
#include "gl/gl_table.h"
#include "render/smoke.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "shell/messages.h"

#include <cstdio>
#include <cstring>

namespace {
// A plain substring search: a longer name that starts with it counts too.
bool offersMultitexture() {
    const GLubyte* extensions = glGetString(GL_EXTENSIONS);
    return extensions &&
           std::strstr(reinterpret_cast<const char*>(extensions), "GL_ARB_multitexture");
}
} // namespace

ContextSetUp startRun(void* window, const ContextSetUpCalls& calls) {
    WindowDC = calls.getDC(window);

    if (!calls.setUpPixelFormat(WindowDC, 16, 16)) {
        calls.postQuit();
        return ContextSetUp::QuitPosted;
    }

    RenderContext = calls.createContext(WindowDC);
    if (!RenderContext) {
        calls.postQuit();
        return ContextSetUp::QuitPosted;
    }

    if (!calls.makeCurrent(WindowDC, RenderContext)) {
        char text[64];
        std::snprintf(text, sizeof text, "Your 3d Card does not support %dx%d", ScreenWidth,
                      ScreenHeight);
        ShowMessage(MessageOwner::None, text, "Error", MessageOk);
        calls.restoreDisplayMode();
        calls.postQuit();
        return ContextSetUp::QuitPosted;
    }

    if (!offersMultitexture()) MultitextureAvailable = 0;

    if (!setUpScene(ScreenWidth, ScreenHeight, ProgramDirectory)) {
        // A fleet or the effects file could not be loaded: end at once, silently.
        calls.endProcess(0);
        return ContextSetUp::ProcessEnded;
    }

    ContextSetUp result = ContextSetUp::Ready;
    SwapBuffersEntry = reinterpret_cast<SwapBuffersFunction>(calls.findSwapBuffers());
    FrameSwap = swapThroughDriver;
    if (!SwapBuffersEntry) {
        calls.postQuit();
        result = ContextSetUp::QuitPosted;
    }

    createPuffList();
    return result;
}

void releaseScene() {
    releaseFleet(Fleets[0]);
    releaseFleet(Fleets[1]);
    releaseSceneAssets();
}
