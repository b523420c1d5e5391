// What the shell's Windows files share: the instance, the window procedure,
// the two dialog procedures and the screenshot.
#pragma once
#include <windows.h>

// The process's instance handle, kept for the window class and the dialogs.
extern HINSTANCE ProgramInstance;

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PasswordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// F12: the current read buffer into the first free "KestrionScreen%0.2d.bmp" of
// the current directory. Skipped quietly when its buffers cannot be allocated.
void writeScreenshot();
