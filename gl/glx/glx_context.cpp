#include "gl/glx/glx_context.h"

#include "gl/binding.h"
#include "gl/gl_table.h"
#include "gl/multisample.h"

#include <string>
#include <vector>

namespace {
// The GLX attribute names used here (values from the GLX protocol).
constexpr int GlxUseGl = 1;
constexpr int GlxRgba = 4;
constexpr int GlxDoubleBuffer = 5;
constexpr int GlxDepthSize = 12;

using GlxContext = void*;

struct GlxFunctions {
    Bool (*queryExtension)(Display*, int*, int*);
    XVisualInfo* (*chooseVisual)(Display*, int, int*);
    int (*getConfig)(Display*, XVisualInfo*, int, int*);
    GlxContext (*createContext)(Display*, XVisualInfo*, GlxContext, Bool);
    void (*destroyContext)(Display*, GlxContext);
    Bool (*makeCurrent)(Display*, XID, GlxContext);
    void (*swapBuffers)(Display*, XID);
};
GlxFunctions Glx = {};

template <typename F> bool find(F& slot, const char* name, const char*& missing) {
    slot = reinterpret_cast<F>(librarySymbol(GLLibrary, name));
    if (!slot && !missing) missing = name;
    return slot != nullptr;
}

GlxTarget& targetOf(DeviceContext dc) {
    return *static_cast<GlxTarget*>(dc);
}

DeviceContext targetAsDC(void* window) {
    return window;
}

int32_t visualIsChosen(DeviceContext dc, int, int) {
    return targetOf(dc).visual ? 1 : 0;
}

RenderingContext createContext(DeviceContext dc) {
    GlxTarget& target = targetOf(dc);
    return Glx.createContext(target.display, target.visual, nullptr, True);
}

int makeCurrent(DeviceContext dc, RenderingContext rc) {
    GlxTarget& target = targetOf(dc);
    if (!Glx.makeCurrent(target.display, target.window, rc)) return 0;
    if (rc != LastBoundContext) {
        LastBoundContext = rc;
        BindExtensions();
    }
    return 1;
}

int swapBuffers(DeviceContext dc) {
    GlxTarget& target = targetOf(dc);
    Glx.swapBuffers(target.display, target.window);
    return 1;
}

SymbolAddress findSwap() {
    return reinterpret_cast<SymbolAddress>(swapBuffers);
}

GlxTarget* Current = nullptr; // the target whose set-up is running
void noDisplayMode() {}
void postQuit() {
    if (Current) Current->quitPosted = true;
}
void endProcess(int) {
    if (Current) Current->processEnded = true;
}

bool glxValue(Display* display, XVisualInfo* visual, int attribute, int& value) {
    value = 0;
    return Glx.getConfig(display, visual, attribute, &value) == 0;
}
} // namespace

bool findGlxFunctions(const char*& missing) {
    missing = nullptr;
    find(Glx.queryExtension, "glXQueryExtension", missing);
    find(Glx.chooseVisual, "glXChooseVisual", missing);
    find(Glx.getConfig, "glXGetConfig", missing);
    find(Glx.createContext, "glXCreateContext", missing);
    find(Glx.destroyContext, "glXDestroyContext", missing);
    find(Glx.makeCurrent, "glXMakeCurrent", missing);
    find(Glx.swapBuffers, "glXSwapBuffers", missing);
    return missing == nullptr;
}

bool displayHasGlx(Display* display) {
    int errorBase = 0, eventBase = 0;
    return Glx.queryExtension(display, &errorBase, &eventBase);
}

XVisualInfo* chooseGlxVisual(Display* display, int screen, int samples) {
    if (samples > 0) {
        std::vector<int> attributes = glxVisualAttributes(samples);
        if (XVisualInfo* visual = Glx.chooseVisual(display, screen, attributes.data()))
            return visual;
    }
    std::vector<int> attributes = glxVisualAttributes(0);
    return Glx.chooseVisual(display, screen, attributes.data());
}

std::string glxRendererName(Display* display, int screen) {
    std::vector<int> attributes = glxVisualAttributes(0);
    XVisualInfo* visual = Glx.chooseVisual(display, screen, attributes.data());
    if (!visual) return {};
    const Window root = RootWindow(display, screen);
    XSetWindowAttributes windowAttributes = {};
    windowAttributes.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
    const Window window = XCreateWindow(display, root, 0, 0, 1, 1, 0, visual->depth, InputOutput,
                                        visual->visual, CWColormap, &windowAttributes);
    std::string name;
    if (GlxContext context = Glx.createContext(display, visual, nullptr, True)) {
        if (Glx.makeCurrent(display, window, context)) {
            if (const GLubyte* renderer = glGetString(GL_RENDERER))
                name = reinterpret_cast<const char*>(renderer);
            Glx.makeCurrent(display, None, nullptr);
        }
        Glx.destroyContext(display, context);
    }
    XDestroyWindow(display, window);
    XFreeColormap(display, windowAttributes.colormap);
    XFree(visual);
    return name;
}

XVisualInfo* glxVisualOfWindow(Display* display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return nullptr;
    XVisualInfo wanted = {};
    wanted.visualid = XVisualIDFromVisual(attributes.visual);
    wanted.screen = XScreenNumberOfScreen(attributes.screen);
    int count = 0;
    XVisualInfo* visual = XGetVisualInfo(display, VisualIDMask | VisualScreenMask, &wanted, &count);
    if (!visual) return nullptr;
    int useGl = 0, rgba = 0, doubleBuffer = 0, depth = 0;
    if (glxValue(display, visual, GlxUseGl, useGl) && useGl &&
        glxValue(display, visual, GlxRgba, rgba) && rgba &&
        glxValue(display, visual, GlxDoubleBuffer, doubleBuffer) && doubleBuffer &&
        glxValue(display, visual, GlxDepthSize, depth) && depth > 0)
        return visual;
    XFree(visual);
    return nullptr;
}

ContextSetUpCalls glxContextCalls(GlxTarget& target) {
    ContextSetUpCalls calls = {};
    calls.getDC = targetAsDC;
    calls.setUpPixelFormat = visualIsChosen;
    calls.createContext = createContext;
    calls.makeCurrent = makeCurrent;
    calls.restoreDisplayMode = noDisplayMode;
    calls.postQuit = postQuit;
    calls.endProcess = endProcess;
    calls.findSwapBuffers = findSwap;
    Current = &target;
    return calls;
}

void releaseGlxContext(GlxTarget& target) {
    if (!target.display) return;
    if (Glx.makeCurrent) Glx.makeCurrent(target.display, None, nullptr);
    if (RenderContext && Glx.destroyContext) Glx.destroyContext(target.display, RenderContext);
    RenderContext = nullptr;
    LastBoundContext = nullptr;
    WindowDC = nullptr;
    if (target.visual) XFree(target.visual);
    target.visual = nullptr;
    if (Current == &target) Current = nullptr;
}
