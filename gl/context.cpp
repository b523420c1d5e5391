#include "gl/context.h"

#include "gl/binding.h"

#include <cstdlib>

DeviceContext WindowDC = nullptr;
RenderingContext RenderContext = nullptr;
SwapBuffersFunction SwapBuffersEntry = nullptr;

namespace {
SymbolAddress driverSwapBuffers() {
    return librarySymbol(GLLibrary, "wglSwapBuffers");
}

void exitProcess(int exitCode) {
    std::exit(exitCode);
}
} // namespace

ContextSetUpCalls driverContextCalls() {
    ContextSetUpCalls calls = {};
    calls.setUpPixelFormat = SetupPixelFormat;
    calls.createContext = wrapCreateContext;
    calls.makeCurrent = wrapMakeCurrent;
    calls.endProcess = exitProcess;
    calls.findSwapBuffers = driverSwapBuffers;
    return calls;
}

void swapThroughDriver() {
    if (SwapBuffersEntry) SwapBuffersEntry(WindowDC);
}
