// What the shell's Windows files share: the instance, the window procedure,
// the two dialog procedures and the screenshot.
#pragma once
#include "shell/monitors.h"

#include <windows.h>

// The process's instance handle, kept for the window class and the dialogs.
extern HINSTANCE ProgramInstance;

// The saver's window over every monitor and the battle's place in it; for the
// preview, the child window with the battle filling it.
extern SaverLayout Layout;

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The preview's child window: the same set-up, no hidden cursor, input ignored.
LRESULT CALLBACK PreviewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PasswordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The saver's pace (shell/win32/pace_win32.cpp). Started with the context
// current: asks for a swap interval of 1, reads the display's refresh rate and
// registers for the display's power state. Ended before the window goes.
void startSaverPace(HWND window);
void endSaverPace();
// Before a frame: waits while the display is off or dimmed, or while the pace
// holds the frame back, waking for any message. True when it waited: the
// messages come first, then this is asked again.
bool waitBeforeFrame();
void saverFrameDone();
// WM_POWERBROADCAST: a change of the console display's state.
void noteDisplayPower(WPARAM wParam, LPARAM lParam);

// F12: the battle's part of the read buffer into the first free
// "KestrionScreen%0.2d.bmp" of the current directory, or of the user's
// Pictures\Kestrion when the current directory takes no new file. Skipped
// quietly when its buffers cannot be allocated or neither folder takes it.
void writeScreenshot();
