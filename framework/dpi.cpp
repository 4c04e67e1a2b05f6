#include "dpi.h"

#include "system_function.h"

namespace {
// DIALOG_DPI_CHANGE_BEHAVIORS: DDC_DISABLE_ALL.
constexpr int kDialogDpiChangeDisableAll = 0x0001;
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using SetDialogDpiChangeBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);
} // namespace

UINT WindowDpi(HWND hWnd) {
    static const auto getDpiForWindow =
        LoadedSystemFunction<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
    if (getDpiForWindow != nullptr && hWnd != nullptr) {
        if (const UINT dpi = getDpiForWindow(hWnd); dpi != 0)
            return dpi;
    }
    HDC dc = ::GetDC(hWnd);
    const int dpi = dc != nullptr ? ::GetDeviceCaps(dc, LOGPIXELSY) : 0;
    if (dc != nullptr)
        ::ReleaseDC(hWnd, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

void TakeOverDialogDpiScaling(HWND dialog) {
    static const auto setBehavior =
        LoadedSystemFunction<SetDialogDpiChangeBehaviorFunction>(L"user32.dll", "SetDialogDpiChangeBehavior");
    if (setBehavior != nullptr)
        setBehavior(dialog, kDialogDpiChangeDisableAll, kDialogDpiChangeDisableAll);
}
