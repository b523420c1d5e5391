// Routes the program's message boxes to MessageBoxA. This file is linked into
// the program itself, so the pointer is set before WinMain runs.
#include "shell/messages.h"

#include <windows.h>

namespace {
int showMessageBox(MessageOwner owner, const char* text, const char* caption, unsigned flags) {
    HWND window = owner == MessageOwner::FocusWindow ? GetFocus() : nullptr;
    return MessageBoxA(window, text, caption, flags);
}

[[maybe_unused]] const bool Installed = (ShowMessage = showMessageBox, true);
} // namespace
