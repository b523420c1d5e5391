// GLX glue for the Linux program: the visual, the context, make-current and
// swap, each GLX function looked up by name in the bound GL library. The
// front-end starts the window's run with these calls in place of the wgl ones.
#pragma once
#include "gl/context.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>

struct GlxTarget {
    Display* display = nullptr;
    Window window = 0; // what the frames are drawn into
    XVisualInfo* visual = nullptr;
    bool quitPosted = false;   // a set-up step failed
    bool processEnded = false; // the scene could not be loaded
};

// Finds the GLX functions in GLLibrary; false, naming the first missing one in
// `missing`, when one is not there. Needs LoadGLBindings first.
bool findGlxFunctions(const char*& missing);

// True when the display has the GLX extension.
bool displayHasGlx(Display* display);

// A double-buffered RGBA visual with a depth buffer (XFree it), or null: with
// `samples` samples a pixel when the server offers them, else without.
XVisualInfo* chooseGlxVisual(Display* display, int screen, int samples);

// GL_RENDERER of a context on a plain visual, made and dropped at once; empty
// when none can be made. Tells whether the run may afford several samples.
std::string glxRendererName(Display* display, int screen);

// The visual of an existing window as a GLX visual, or null when GL cannot
// draw double-buffered into it.
XVisualInfo* glxVisualOfWindow(Display* display, Window window);

// The calls a run's start makes for `target` (visual already chosen); a failed
// step sets the target's quitPosted or processEnded.
ContextSetUpCalls glxContextCalls(GlxTarget& target);

// Releases the context; the display stays open.
void releaseGlxContext(GlxTarget& target);
