// Message boxes for failures the user can act on. The Windows shell points
// ShowMessage at MessageBoxA; natively it writes to stderr, and tests record.
#pragma once

// Who owns the box: nobody, or the window that has the keyboard focus.
enum class MessageOwner { None, FocusWindow };

// MB_OK, the only button set the program uses.
constexpr unsigned MessageOk = 0;

// Same argument order as MessageBoxA; the result is MessageBoxA's.
using MessageFunction = int (*)(MessageOwner owner, const char* text, const char* caption,
                                unsigned flags);
extern MessageFunction ShowMessage;

// The native default: "caption: text" on stderr.
int showMessageOnStderr(MessageOwner owner, const char* text, const char* caption, unsigned flags);
