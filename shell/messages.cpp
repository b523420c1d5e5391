#include "shell/messages.h"

#include "gl/binding.h"

#include <cstdio>

int showMessageOnStderr(MessageOwner, const char* text, const char* caption, unsigned) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    return 1; // IDOK
}

MessageFunction ShowMessage = showMessageOnStderr;

namespace {
void tellGLLibraryNotOpened() {
    ShowMessage(MessageOwner::FocusWindow, "Could not open OpenGL Library", "Error", MessageOk);
}
} // namespace

// The binding layer only reports; the box is the shell's. Every program that
// shows messages links this file, so every one of them tells the user.
[[maybe_unused]] const bool GLLibraryFailureShown =
    (GLLibraryNotOpened = tellGLLibraryNotOpened, true);
