// The yardstick for start-up time: the plainest Win32 dialog, started the same way as the program,
// with the same template size and caption style but nothing behind it.
#include <windows.h>

namespace {

INT_PTR CALLBACK BareDialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        ::EndDialog(hWnd, LOWORD(wParam));
        return TRUE;
    }
    return msg == WM_INITDIALOG;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return static_cast<int>(::DialogBoxParamW(instance, MAKEINTRESOURCEW(1), nullptr, BareDialogProc, 0));
}
