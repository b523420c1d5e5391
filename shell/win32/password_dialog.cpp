// "PASSWORDDIALOG": shown in password mode; no password is read or stored.
#include "shell/win32/saver_win32.h"

INT_PTR CALLBACK PasswordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        // Only Cancel (and Escape, which arrives as Cancel) ends it; OK does nothing.
        if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}
