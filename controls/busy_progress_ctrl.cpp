#include "busy_progress_ctrl.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {
// Conversion toward zero, as static_cast<int> does, but defined for every double: a degenerate
// geometry (infinite or NaN share, which owners are asked not to produce) must not be undefined
// behaviour. Values in range convert exactly as a plain cast would.
int TruncToInt(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

// The animation sleeps at least 1 ms: a zero or negative interval would otherwise spin, or (cast to
// DWORD) sleep for weeks and hold up Stop for as long.
DWORD SleepInterval(int nInterval) { return nInterval < 1 ? 1u : static_cast<DWORD>(nInterval); }

// Twice the interval, kept below INFINITE so an enormous interval never turns the bounded wait
// into an endless one by accident.
DWORD BoundedWait(int nInterval) {
    const std::int64_t wait = 2 * static_cast<std::int64_t>(SleepInterval(nInterval));
    return static_cast<DWORD>(std::min<std::int64_t>(wait, INFINITE - 1));
}
} // namespace

BEGIN_MESSAGE_MAP(CBusyProgressCtrl, CStatic)
ON_WM_PAINT()
ON_WM_SIZE()
ON_WM_SYSCOLORCHANGE()
ON_MESSAGE(BPM_SETBLOCKS, OnSetBlocks)
ON_MESSAGE(BPM_SETPOS, OnSetPos)
ON_MESSAGE(BPM_SETGAP, OnSetGap)
ON_MESSAGE(BPM_SETINTERVAL, OnSetInterval)
ON_MESSAGE(BPM_SETRANGE, OnSetRange)
ON_MESSAGE(BPM_SETMODE, OnSetMode)
ON_MESSAGE(BPM_START, OnStart)
ON_MESSAGE(BPM_STOP, OnStop)
ON_MESSAGE(BPM_STEP, OnStep)
ON_MESSAGE(BPM_SETMOTION, OnSetMotion)
ON_MESSAGE(BPM_SETBUSYSTYLE, OnSetBusyStyle)
ON_MESSAGE(BPM_SETSTEPSPERBLOCK, OnSetStepsPerBlock)
ON_MESSAGE(BPM_SETBKCOLOR, OnSetBkColor)
ON_MESSAGE(BPM_SETBLOCKCOLOR, OnSetBlockColor)
ON_MESSAGE(BPM_SETBLOCKBORDERCOLOR, OnSetBlockBorderColor)
ON_MESSAGE(BPM_SETACTIVECOLOR, OnSetActiveColor)
ON_MESSAGE(BPM_SETACTIVEBORDERCOLOR, OnSetActiveBorderColor)
ON_MESSAGE(BPM_RECALCLAYOUT, OnRecalcLayout)
ON_MESSAGE(BPM_RESET, OnReset)
ON_MESSAGE(BPM_USESYSBKCOLOR, OnUseSysBkColor)
ON_MESSAGE(kWmDpiChangedAfterParent, OnDpiChangedAfterParent)
END_MESSAGE_MAP()

CBusyProgressCtrl::CBusyProgressCtrl(int nBlocks, int nPos)
    : m_nBlocks(nBlocks), m_nPos(nPos), m_nTotalSteps(5 * nBlocks), m_crBack(::GetSysColor(COLOR_BTNFACE)) {}

CBusyProgressCtrl::~CBusyProgressCtrl() {
    // Owners stop the animation first; should one forget, the thread must still not outlive the
    // object it steps.
    Stop();
    if (m_pOldBitmap)
        ReleaseMemoryDC();
}

BOOL CBusyProgressCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID, CCreateContext*) {
    const BOOL created = CWnd::Create(L"STATIC", L"BusyProgressCtrl", dwStyle, rect, pParentWnd, nID);
    m_nDpi = WindowDpi(m_hWnd);
    RecalcLayout();
    return created;
}

void CBusyProgressCtrl::PreSubclassWindow() {
    CStatic::PreSubclassWindow();
    m_nDpi = WindowDpi(m_hWnd);
    RecalcLayout();
}

void CBusyProgressCtrl::RecalcLayout() {
    if (::IsRectEmpty(&m_rcClient))
        ::GetClientRect(m_hWnd, &m_rcClient);
    const int nBlocks = m_nBlocks;
    // With no blocks nothing is drawn; a zero width keeps the geometry finite.
    if (nBlocks > 0)
        m_dBlockWidth =
            static_cast<double>(m_rcClient.right - nBlocks * GapPixels() - m_rcClient.left) / nBlocks;
    else
        m_dBlockWidth = 0.0;
    m_dBlockHeight = static_cast<double>(m_rcClient.bottom - m_rcClient.top);
}

void CBusyProgressCtrl::OnPaint() {
    CPaintDC dc(m_hWnd);
    const int width = m_rcClient.right - m_rcClient.left;
    const int height = m_rcClient.bottom - m_rcClient.top;
    if (m_dcMem.GetSafeHdc() == nullptr) {
        m_dcMem.Attach(::CreateCompatibleDC(dc));
        m_bmpMem.Attach(::CreateCompatibleBitmap(dc, width, height));
        m_pOldBitmap = static_cast<HBITMAP>(m_dcMem.SelectObject(m_bmpMem));
    }
    DrawBackground(&m_dcMem, &m_rcClient);
    DrawBlocks(&m_dcMem, &m_rcClient);
    dc.BitBlt(0, 0, width, height, m_dcMem, 0, 0, SRCCOPY);
}

void CBusyProgressCtrl::DrawBlocks(CDC* pDC, const RECT*) {
    CPen pen;
    CreateOutlinePen(pen, m_crBlockBorder);
    CBrush brush(m_crBlock);
    // Declared after the pen and brush, so the old ones are back before those are deleted.
    CSelectObject selectPen(*pDC, pen);
    CSelectObject selectBrush(*pDC, brush);

    // One position for the whole row: the animation thread may step while the row is drawn.
    const int nPos = m_nPos;
    RECT rect{0, 0, TruncToInt(m_dBlockWidth), TruncToInt(m_dBlockHeight)};
    const int gap = GapPixels();
    double x = 0.0;
    for (int i = 0; i < m_nBlocks; ++i) {
        DrawOneBlock(pDC, rect, i, nPos);
        x = (gap + m_dBlockWidth) + x;
        rect.left = TruncToInt(x);
        rect.right = TruncToInt(x + m_dBlockWidth);
    }
}

void CBusyProgressCtrl::DrawOneBlock(CDC* pDC, const RECT& rect, int i, int nPos) {
    if (m_nMode == BP_MODE_PROGRESS) {
        DrawFilledBlock(pDC, rect, i, static_cast<double>(nPos) / (m_nMax - m_nMin) * m_nBlocks);
        return;
    }
    // A mode other than the two draws only the background.
    if (m_nMode != BP_MODE_BUSY)
        return;
    if (m_nBusyStyle == BP_STYLE_BLOCK) {
        if (i == nPos)
            DrawActiveBlock(pDC, &rect);
        else
            DrawBlock(pDC, &rect);
    } else if (m_nBusyStyle == BP_STYLE_BAR) {
        DrawFilledBlock(pDC, rect, i, static_cast<double>(nPos) / m_nTotalSteps * m_nBlocks);
    }
}

void CBusyProgressCtrl::DrawFilledBlock(CDC* pDC, const RECT& rect, int i, double fill) {
    const int n = TruncToInt(fill);
    // The fractional part of the fill times the block width, in this order of operations. n - 1 is
    // taken in double (exact for every int) and "i <= n - 1" as "i < n", so a clamped n cannot overflow.
    const int partial = TruncToInt(((fill - 1.0) - (static_cast<double>(n) - 1.0)) * m_dBlockWidth);
    if (i < n) {
        DrawActiveBlock(pDC, &rect);
        return;
    }
    DrawBlock(pDC, &rect);
    if (i == n && partial != 0)
        DrawPartialBlock(pDC, &rect, partial);
}

void CBusyProgressCtrl::DrawBackground(CDC* pDC, const RECT* pRect) { pDC->FillSolidRect(pRect, m_crBack); }

void CBusyProgressCtrl::DrawBlock(CDC* pDC, const RECT* pRect) { pDC->Rectangle(pRect); }

void CBusyProgressCtrl::DrawActiveBlock(CDC* pDC, const RECT* pRect) {
    CPen pen;
    CreateOutlinePen(pen, m_crActiveBorder);
    CBrush brush(m_crActive);
    CSelectObject selectPen(*pDC, pen);
    CSelectObject selectBrush(*pDC, brush);
    pDC->Rectangle(pRect);
}

void CBusyProgressCtrl::DrawPartialBlock(CDC* pDC, const RECT* pRect, int nWidth) {
    // A negative width (a bar position below zero) would end the fill left of its start.
    if (nWidth <= 0)
        return;
    // Inside the block's outline, which stays around the fill.
    RECT fill = *pRect;
    ::InflateRect(&fill, -OutlinePixels(), -OutlinePixels());
    fill.right = fill.left + nWidth;
    if (fill.right >= pRect->right)
        fill.right = pRect->right - 1;
    pDC->FillSolidRect(&fill, m_crActive);
}

int CBusyProgressCtrl::BusyLimit() const {
    switch (m_nBusyStyle) {
    case BP_STYLE_BLOCK:
        return m_nBlocks;
    case BP_STYLE_BAR:
        return m_nTotalSteps;
    default:
        return 0;
    }
}

void CBusyProgressCtrl::StepIt() {
    if (m_nMode == BP_MODE_BUSY) {
        const int limit = BusyLimit();
        switch (m_nMotion) {
        case BP_MOTION_BOUNCE:
            // Both tests, in this order: with a single position the second one wins.
            if (m_nPos >= limit - 1)
                m_nDirection = -1;
            if (m_nPos <= 0)
                m_nDirection = +1;
            break;
        case BP_MOTION_WRAP:
            if (m_nPos == limit - 1)
                m_nPos = -1;
            break;
        case BP_MOTION_WRAP_BACK:
            if (m_nPos == 0)
                m_nPos = limit;
            break;
        default:
            break;
        }
    }
    m_nPos += m_nDirection;
    // Invalidating is safe from any thread; with no window there is nothing to invalidate (a null
    // window would invalidate the whole desktop).
    if (m_hWnd)
        InvalidateAll();
}

void CBusyProgressCtrl::Reset() {
    if (m_nMode == BP_MODE_BUSY && m_nMotion == BP_MOTION_WRAP_BACK) {
        // One past the last position, so the first step shows the last one.
        m_nPos = m_nBusyStyle == BP_STYLE_BAR ? m_nStepsPerBlock * m_nBlocks : m_nBlocks.load();
        m_nDirection = -1;
    } else {
        m_nPos = 0;
        m_nDirection = +1;
    }
}

void CBusyProgressCtrl::SetMode(int nMode) {
    Stop();
    // An unknown mode is stored as given, but only the two real modes may be left.
    if (m_nMode != BP_MODE_BUSY && m_nMode != BP_MODE_PROGRESS)
        return;
    m_nMode = nMode;
    if (nMode == BP_MODE_PROGRESS)
        m_nDirection = +1;
}

void CBusyProgressCtrl::SetMotion(int nMotion) {
    m_nMotion = nMotion;
    if (m_nMode != BP_MODE_BUSY)
        return;
    if (nMotion == BP_MOTION_WRAP)
        m_nDirection = +1;
    else if (nMotion == BP_MOTION_WRAP_BACK)
        m_nDirection = -1;
}

void CBusyProgressCtrl::SetBusyStyle(int nStyle) {
    if (m_nMode != BP_MODE_BUSY)
        return;
    m_nBusyStyle = nStyle;
    Reset();
    if (nStyle == BP_STYLE_BAR)
        m_nTotalSteps = m_nStepsPerBlock * m_nBlocks;
}

void CBusyProgressCtrl::UseSysBkColor(bool bUse) {
    m_bSysBkColor = bUse;
    if (bUse)
        m_crBack = ::GetSysColor(COLOR_BTNFACE);
    InvalidateAll();
}

void CBusyProgressCtrl::OnSysColorChange() {
    Default();
    if (!m_bSysBkColor)
        return;
    m_crBack = ::GetSysColor(COLOR_BTNFACE);
    InvalidateAll();
}

void CBusyProgressCtrl::OnSize(UINT, int, int) {
    Default();
    ::GetClientRect(m_hWnd, &m_rcClient);
    // The next paint makes a bitmap of the new size; the block geometry waits for RecalcLayout.
    if (m_dcMem.GetSafeHdc())
        ReleaseMemoryDC();
}

LRESULT CBusyProgressCtrl::OnDpiChangedAfterParent(WPARAM, LPARAM) {
    m_nDpi = WindowDpi(m_hWnd);
    ::GetClientRect(m_hWnd, &m_rcClient);
    if (m_dcMem.GetSafeHdc())
        ReleaseMemoryDC();
    RecalcLayout();
    InvalidateAll();
    return 0;
}

void CBusyProgressCtrl::ReleaseMemoryDC() {
    m_dcMem.SelectObject(m_pOldBitmap);
    m_pOldBitmap = nullptr;
    m_bmpMem.DeleteObject();
    m_dcMem.DeleteDC();
}

void CBusyProgressCtrl::InvalidateAll() const { ::InvalidateRect(m_hWnd, nullptr, TRUE); }

// The running flag is raised by Start before the thread exists, so a Stop that comes before the
// thread has run a single instruction is never missed; the thread itself only reads the flag.
// Since Stop always waits for the previous thread to end, no other animation thread can still be
// running here, and there is nothing to wait out on entry.
UINT __cdecl BusyAnimateThread(LPVOID pParam) {
    if (pParam == nullptr)
        return 0xFFFFFFFF;
    auto* ctrl = static_cast<CBusyProgressCtrl*>(pParam);
    // The first step comes at once; a Stop that beat the thread to here leaves the position alone.
    while (ctrl->m_bRunning.load(std::memory_order_acquire)) {
        ctrl->StepIt();
        ::Sleep(SleepInterval(ctrl->m_nInterval));
    }
    return 0;
}

void CBusyProgressCtrl::Start() {
    if (m_nMode != BP_MODE_BUSY)
        return;
    while (m_pThread != nullptr || m_bRunning.load(std::memory_order_acquire))
        Stop();
    m_bRunning.store(true, std::memory_order_release);
    // The object never deletes itself: it lives until Stop has seen its thread end.
    m_pThread = AfxBeginThread(BusyAnimateThread, this);
    if (m_pThread == nullptr)
        m_bRunning.store(false, std::memory_order_release);
}

void CBusyProgressCtrl::Stop() {
    m_bRunning.store(false, std::memory_order_release);
    if (m_pThread == nullptr)
        return;
    // The thread ends within the sleep it is in. That sleep can outlast the bounded wait: the owner
    // may shorten m_nInterval while the thread sleeps the old one, or a loaded machine may not run
    // the thread in time. Deleting the object then would free it under a live thread, and
    // terminating the thread could leave a heap or window-manager lock held, so wait on: the
    // thread never waits on this thread (it only sleeps and invalidates), so the wait always ends.
    if (::WaitForSingleObject(m_pThread->m_hThread, BoundedWait(m_nInterval)) == WAIT_TIMEOUT)
        ::WaitForSingleObject(m_pThread->m_hThread, INFINITE);
    delete m_pThread;
    m_pThread = nullptr;
}

LRESULT CBusyProgressCtrl::OnSetBlocks(WPARAM wParam, LPARAM) {
    // The bar's step count stays until SetBusyStyle recomputes it.
    m_nBlocks = static_cast<int>(wParam);
    RecalcLayout();
    InvalidateAll();
    return 0;
}

LRESULT CBusyProgressCtrl::OnSetPos(WPARAM wParam, LPARAM) {
    m_nPos = static_cast<int>(wParam);
    InvalidateAll();
    return 0;
}

LRESULT CBusyProgressCtrl::OnSetGap(WPARAM wParam, LPARAM) {
    m_nGap = static_cast<int>(wParam);
    RecalcLayout();
    InvalidateAll();
    return 0;
}

LRESULT CBusyProgressCtrl::OnSetInterval(WPARAM wParam, LPARAM) {
    m_nInterval = static_cast<int>(wParam);
    return 0;
}

LRESULT CBusyProgressCtrl::OnSetRange(WPARAM wParam, LPARAM lParam) {
    m_nMin = static_cast<int>(wParam);
    m_nMax = static_cast<int>(lParam);
    return 0;
}

LRESULT CBusyProgressCtrl::OnSetMode(WPARAM wParam, LPARAM) {
    SetMode(static_cast<int>(wParam));
    return 0;
}

LRESULT CBusyProgressCtrl::OnStart(WPARAM, LPARAM) {
    Start();
    return 0;
}

LRESULT CBusyProgressCtrl::OnStop(WPARAM, LPARAM) {
    Stop();
    return 0;
}

LRESULT CBusyProgressCtrl::OnStep(WPARAM, LPARAM) {
    StepIt();
    return 0;
}

LRESULT CBusyProgressCtrl::OnSetMotion(WPARAM wParam, LPARAM) {
    SetMotion(static_cast<int>(wParam));
    return 0;
}

LRESULT CBusyProgressCtrl::OnSetBusyStyle(WPARAM wParam, LPARAM) {
    SetBusyStyle(static_cast<int>(wParam));
    return 0;
}

LRESULT CBusyProgressCtrl::OnSetStepsPerBlock(WPARAM wParam, LPARAM) {
    m_nStepsPerBlock = static_cast<int>(wParam);
    // Resets in busy mode and, in bar style, brings the step count up to date.
    SetBusyStyle(m_nBusyStyle);
    return 0;
}

LRESULT CBusyProgressCtrl::SetColorAndInvalidate(COLORREF& color, WPARAM wParam) {
    color = static_cast<COLORREF>(wParam);
    InvalidateAll();
    return 0;
}

LRESULT CBusyProgressCtrl::OnSetBkColor(WPARAM wParam, LPARAM) {
    return SetColorAndInvalidate(m_crBack, wParam);
}

LRESULT CBusyProgressCtrl::OnSetBlockColor(WPARAM wParam, LPARAM) {
    return SetColorAndInvalidate(m_crBlock, wParam);
}

LRESULT CBusyProgressCtrl::OnSetBlockBorderColor(WPARAM wParam, LPARAM) {
    return SetColorAndInvalidate(m_crBlockBorder, wParam);
}

LRESULT CBusyProgressCtrl::OnSetActiveColor(WPARAM wParam, LPARAM) {
    return SetColorAndInvalidate(m_crActive, wParam);
}

LRESULT CBusyProgressCtrl::OnSetActiveBorderColor(WPARAM wParam, LPARAM) {
    return SetColorAndInvalidate(m_crActiveBorder, wParam);
}

LRESULT CBusyProgressCtrl::OnRecalcLayout(WPARAM, LPARAM) {
    RecalcLayout();
    return 0;
}

LRESULT CBusyProgressCtrl::OnReset(WPARAM, LPARAM) {
    Reset();
    return 0;
}

LRESULT CBusyProgressCtrl::OnUseSysBkColor(WPARAM wParam, LPARAM) {
    UseSysBkColor(wParam != 0);
    return 0;
}
