#pragma once
// CBusyProgressCtrl: a self-drawn row of equal blocks over a static control. In busy mode a worker
// thread steps a lit block (or a growing bar) along the row; in progress mode the owner sets a
// position and the row shows it as a fill with a partly filled block at its end. Painting goes
// through an off-screen bitmap kept between paints, so a repaint never flickers.
//
// Threads: everything runs on the user-interface thread except StepIt, which the animation thread
// calls. Every member that thread reads or writes is a std::atomic, so the owner may keep writing
// them directly (m_nPos = -1, m_nInterval = 100) without a data race. The window handle it
// invalidates is set before Start and must outlive Stop. The animation thread never draws and never
// waits on the user-interface thread: it only invalidates.
#include <atomic>

#include <windows.h>

#include "dpi.h"
#include "gdi.h"
#include "msgmap.h"
#include "static.h"
#include "thread.h"

// Kept for the familiar Create signature; a control never uses a creation context.
struct CCreateContext;

constexpr int BP_MODE_BUSY = 1;
constexpr int BP_MODE_PROGRESS = 2;

constexpr int BP_MOTION_BOUNCE = 1;
constexpr int BP_MOTION_WRAP = 2;
constexpr int BP_MOTION_WRAP_BACK = 4;

constexpr int BP_STYLE_BLOCK = 1;
constexpr int BP_STYLE_BAR = 2;

// Private messages any owner may send. The value comes in wParam (as a signed int) unless noted;
// every message returns 0.
constexpr UINT BPM_SETBLOCKS = WM_USER + 1;
constexpr UINT BPM_SETPOS = WM_USER + 2;
constexpr UINT BPM_SETGAP = WM_USER + 3;
constexpr UINT BPM_SETINTERVAL = WM_USER + 4;
constexpr UINT BPM_SETRANGE = WM_USER + 5; // wParam minimum, lParam maximum
constexpr UINT BPM_SETMODE = WM_USER + 6;
constexpr UINT BPM_START = WM_USER + 7;
constexpr UINT BPM_STOP = WM_USER + 8;
constexpr UINT BPM_STEP = WM_USER + 9;
constexpr UINT BPM_SETMOTION = WM_USER + 10;
constexpr UINT BPM_SETBUSYSTYLE = WM_USER + 11;
constexpr UINT BPM_SETSTEPSPERBLOCK = WM_USER + 12;
constexpr UINT BPM_SETBKCOLOR = WM_USER + 13; // COLORREF
constexpr UINT BPM_SETBLOCKCOLOR = WM_USER + 14;
constexpr UINT BPM_SETBLOCKBORDERCOLOR = WM_USER + 15;
constexpr UINT BPM_SETACTIVECOLOR = WM_USER + 16;
constexpr UINT BPM_SETACTIVEBORDERCOLOR = WM_USER + 17;
constexpr UINT BPM_RECALCLAYOUT = WM_USER + 18;
constexpr UINT BPM_RESET = WM_USER + 19;
constexpr UINT BPM_USESYSBKCOLOR = WM_USER + 20; // non-zero: follow COLOR_BTNFACE

// The animation thread: steps `pParam` (the control) every m_nInterval ms while m_bRunning is set.
// Returns 0, or 0xFFFFFFFF when given no control.
UINT __cdecl BusyAnimateThread(LPVOID pParam);

class CBusyProgressCtrl : public CStatic {
  public:
    CBusyProgressCtrl(int nBlocks, int nPos);
    // Stops a thread the owner left running, then drops the off-screen DC and bitmap.
    ~CBusyProgressCtrl() override;

    virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID,
                        CCreateContext* pContext = nullptr);
    // The look of the control; a subclass may change any of them. pDC is the off-screen DC.
    virtual void DrawBackground(CDC* pDC, const RECT* pRect);
    // Outlines and fills with the pen and brush DrawBlocks has selected.
    virtual void DrawBlock(CDC* pDC, const RECT* pRect);
    virtual void DrawActiveBlock(CDC* pDC, const RECT* pRect);
    // Fills nWidth pixels inside an ordinary block's outline; no fill when nWidth <= 0.
    virtual void DrawPartialBlock(CDC* pDC, const RECT* pRect, int nWidth);

    // Block geometry from m_rcClient (taken from the client area while empty). No repaint.
    void RecalcLayout();
    // Draws the row into pDC from (0, 0); pRect is not consulted.
    void DrawBlocks(CDC* pDC, const RECT* pRect);
    // One step of the animation; the only operation the animation thread calls.
    void StepIt();
    // Back to the start of a run. No repaint.
    void Reset();
    // Busy mode only: starts the animation thread, stopping any previous one first.
    void Start();
    // Ends the animation thread and releases its object; when it returns no thread runs.
    void Stop();
    void SetMode(int nMode);
    void SetMotion(int nMotion);
    void SetBusyStyle(int nStyle);
    void UseSysBkColor(bool bUse);

    void PreSubclassWindow() override;

    void OnPaint();
    void OnSize(UINT nType, int cx, int cy);
    void OnSysColorChange();
    // The dialog has moved to a monitor of another DPI and resized this control: lay out again.
    LRESULT OnDpiChangedAfterParent(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetBlocks(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetPos(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetGap(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetInterval(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetRange(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetMode(WPARAM wParam, LPARAM lParam);
    LRESULT OnStart(WPARAM wParam, LPARAM lParam);
    LRESULT OnStop(WPARAM wParam, LPARAM lParam);
    LRESULT OnStep(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetMotion(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetBusyStyle(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetStepsPerBlock(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetBkColor(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetBlockColor(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetBlockBorderColor(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetActiveColor(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetActiveBorderColor(WPARAM wParam, LPARAM lParam);
    LRESULT OnRecalcLayout(WPARAM wParam, LPARAM lParam);
    LRESULT OnReset(WPARAM wParam, LPARAM lParam);
    LRESULT OnUseSysBkColor(WPARAM wParam, LPARAM lParam);

    std::atomic<int> m_nBlocks;
    std::atomic<int> m_nDirection{+1};
    std::atomic<int> m_nPos;
    RECT m_rcClient{0, 0, 0, 0};
    int m_nGap = 1;
    double m_dBlockHeight = 0.0;
    double m_dBlockWidth = 0.0;
    CWinThread* m_pThread = nullptr;
    // Set by Start before the thread exists and cleared only by Stop: the thread's one signal.
    std::atomic<bool> m_bRunning{false};
    std::atomic<int> m_nInterval{100};
    std::atomic<int> m_nMode{BP_MODE_BUSY};
    int m_nMin = 0;
    int m_nMax = 100;
    bool m_bSysBkColor = true;
    std::atomic<int> m_nMotion{BP_MOTION_BOUNCE};
    std::atomic<int> m_nBusyStyle{BP_STYLE_BLOCK};
    int m_nStepsPerBlock = 5;
    std::atomic<int> m_nTotalSteps;
    COLORREF m_crBack;
    COLORREF m_crBlock = RGB(160, 190, 220);
    COLORREF m_crBlockBorder = RGB(50, 90, 135);
    COLORREF m_crActive = RGB(190, 220, 255);
    COLORREF m_crActiveBorder = RGB(50, 90, 135);
    CDC m_dcMem;
    CBitmap m_bmpMem;
    HBITMAP m_pOldBitmap = nullptr;

  private:
    // m_nGap is given in pixels at 96 DPI, like every pixel figure of the design; these are the
    // pixels drawn at the control's DPI. The outline is one pixel at 96 DPI (a pen of width 0).
    int GapPixels() const { return ScaledForDpi(m_nGap, m_nDpi); }
    int OutlinePixels() const { return ScaledForDpi(1, m_nDpi); }
    // A one-pixel pen at 96 DPI; wider, it is drawn inside the block, so blocks and gaps keep their places.
    BOOL CreateOutlinePen(CPen& pen, COLORREF color) const {
        const int width = OutlinePixels();
        return width > 1 ? pen.CreatePen(PS_INSIDEFRAME, width, color) : pen.CreatePen(PS_SOLID, 0, color);
    }
    UINT m_nDpi = kDesignDpi;

    // The end of a busy run: blocks in block style, steps in bar style, 0 for any other style.
    int BusyLimit() const;
    // Draws block i of the row at rect, by mode and style.
    void DrawOneBlock(CDC* pDC, const RECT& rect, int i, int nPos);
    // The bar of bar style and progress mode: `fill` is the row's filled share times the block count.
    void DrawFilledBlock(CDC* pDC, const RECT& rect, int i, double fill);
    LRESULT SetColorAndInvalidate(COLORREF& color, WPARAM wParam);
    void InvalidateAll() const;
    // Puts the memory DC's own bitmap back and drops the off-screen DC and bitmap.
    void ReleaseMemoryDC();

    DECLARE_MESSAGE_MAP()
};
