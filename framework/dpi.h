#pragma once
// Pixels at the window's DPI. The layout is drawn for 96 DPI (100 %); on a monitor set to 150 % or 200 %
// every pixel figure is multiplied by DPI / 96, so a DPI-aware window keeps its proportions and its text
// is drawn sharp instead of stretched by the system.
#include <windows.h>

constexpr UINT kDesignDpi = 96;

// The messages of per-monitor DPI awareness (Windows 8.1 and 10), which older headers lack.
constexpr UINT kWmDpiChanged = 0x02E0;
constexpr UINT kWmDpiChangedAfterParent = 0x02E3;

// `designPixels` at `dpi`, rounded to the nearest pixel (halves away from zero, as MulDiv does).
inline int ScaledForDpi(int designPixels, UINT dpi) {
    return ::MulDiv(designPixels, static_cast<int>(dpi), static_cast<int>(kDesignDpi));
}

// The DPI the window is drawn at: its monitor's where the system tells (Windows 10 1607 on), otherwise
// the screen's logical DPI (Windows 7 and 8, where a DPI-aware program sees one DPI for every monitor).
UINT WindowDpi(HWND hWnd);

// The new DPI that WM_DPICHANGED carries (x and y are the same on every Windows).
inline UINT DpiOfDpiChanged(WPARAM wParam) { return HIWORD(wParam); }

// Stops the dialog manager from resizing the dialog, its controls and their fonts by itself on a DPI
// change (Windows 10 1703 on): a dialog that calls this lays itself out again on WM_DPICHANGED, so the
// two never scale the same control twice.
void TakeOverDialogDpiScaling(HWND dialog);
