#pragma once
// Shared pieces of the busy indicator tests: a visible host window with the control bound the way a
// dialog binds it, a 32-bit canvas that reads back exact colours, a reader that turns the drawn row
// into a short text, and polling.
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "busy_progress_ctrl.h"

constexpr int IDC_TEST_BUSY = 1015;

// Distinct colours, so every pixel tells which part of the row drew it.
constexpr COLORREF kBack = RGB(10, 20, 30);
constexpr COLORREF kBlock = RGB(40, 50, 60);
constexpr COLORREF kBlockBorder = RGB(70, 80, 90);
constexpr COLORREF kActive = RGB(100, 110, 120);
constexpr COLORREF kActiveBorder = RGB(130, 140, 150);
void UseTestColors(CBusyProgressCtrl& ctrl);

// A shown top-level window holding a static control with a client and a static edge (as the dialog
// template has), whose client area is width x height; the control is bound to it with DDX_Control.
class BoundBusyCtrl {
  public:
    BoundBusyCtrl(int width, int height, int nBlocks = 10, int nPos = 0);
    ~BoundBusyCtrl();
    BoundBusyCtrl(const BoundBusyCtrl&) = delete;
    BoundBusyCtrl& operator=(const BoundBusyCtrl&) = delete;

    HWND Host() const { return m_host; }
    HWND Hwnd() const { return ctrl.m_hWnd; }
    // Handles what the window system has queued (the first exposure among it), then marks the
    // control painted, so a later update region can only come from the control itself.
    void Settle() const;
    // Sends WM_PAINT now for the whole control.
    void Paint() const;
    bool HasUpdateRegion() const { return ::GetUpdateRect(Hwnd(), nullptr, FALSE) != FALSE; }

    CBusyProgressCtrl ctrl;

  private:
    HWND m_host = nullptr;
};

// Makes `ctrl` a 110 x 12 child of `host` with id 77 through its own Create.
bool CreateBusyChild(HWND host, CBusyProgressCtrl& ctrl);

// A memory DC over a top-down 32-bit DIB.
class Canvas {
  public:
    Canvas(int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    CDC& Dc() { return m_dc; }
    int Width() const { return m_width; }

  private:
    CDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
    int m_width;
};

// Draws background and row into the canvas, as a paint does into the off-screen DC.
void DrawRow(CBusyProgressCtrl& ctrl, Canvas& canvas);

// The [left, right) spans along row 0 that are not background: the block rectangles' edges.
std::vector<std::pair<int, int>> BlockSpans(HDC dc, int width, COLORREF back);

// One token per block, from the test colours: "A" active, "o" ordinary, "o4" ordinary with a partial
// fill 4 pixels wide, joined by spaces. Reads the outline on row 0 and the fill on row `midRow`.
std::string DescribeRow(HDC dc, int width, int midRow);

// Polls (1 ms apart) until `done` holds or `timeoutMs` passes; returns whether it held.
template <class Pred> bool PollUntil(Pred done, DWORD timeoutMs = 5000) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() > end)
            return false;
        ::Sleep(1);
    }
    return true;
}

// A handle of the running animation thread that outlives the control's own, so a test can see the
// thread end after Stop has released it.
class ThreadWatch {
  public:
    explicit ThreadWatch(const CBusyProgressCtrl& ctrl);
    ~ThreadWatch();
    ThreadWatch(const ThreadWatch&) = delete;
    ThreadWatch& operator=(const ThreadWatch&) = delete;
    bool Valid() const { return m_handle != nullptr; }
    bool Ended() const { return ::WaitForSingleObject(m_handle, 0) == WAIT_OBJECT_0; }

  private:
    HANDLE m_handle = nullptr;
};
