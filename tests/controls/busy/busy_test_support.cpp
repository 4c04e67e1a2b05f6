#include "busy_test_support.h"

#include "ddx.h"

namespace {
const wchar_t kHostClass[] = L"QmBusyTestHost";

void RegisterHostClass() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kHostClass;
    ::RegisterClassW(&wc); // a second registration fails harmlessly
}
} // namespace

void UseTestColors(CBusyProgressCtrl& ctrl) {
    ctrl.m_crBack = kBack;
    ctrl.m_crBlock = kBlock;
    ctrl.m_crBlockBorder = kBlockBorder;
    ctrl.m_crActive = kActive;
    ctrl.m_crActiveBorder = kActiveBorder;
}

BoundBusyCtrl::BoundBusyCtrl(int width, int height, int nBlocks, int nPos) : ctrl(nBlocks, nPos) {
    RegisterHostClass();
    m_host = ::CreateWindowExW(0, kHostClass, L"busy host", WS_POPUP | WS_VISIBLE, 10, 10, width + 40,
                               height + 40, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    const DWORD exStyle = WS_EX_STATICEDGE | WS_EX_CLIENTEDGE;
    RECT frame{0, 0, width, height};
    ::AdjustWindowRectEx(&frame, WS_CHILD, FALSE, exStyle);
    ::CreateWindowExW(exStyle, L"STATIC", L"Progress bar", WS_CHILD | WS_VISIBLE | SS_LEFT, 5, 5,
                      frame.right - frame.left, frame.bottom - frame.top, m_host,
                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_TEST_BUSY)), nullptr, nullptr);
    CWnd dialog;
    dialog.m_hWnd = m_host;
    CDataExchange dx(&dialog, FALSE);
    DDX_Control(&dx, IDC_TEST_BUSY, ctrl);
    dialog.m_hWnd = nullptr;
}

BoundBusyCtrl::~BoundBusyCtrl() {
    ctrl.Stop();
    ::DestroyWindow(m_host);
}

void BoundBusyCtrl::Settle() const {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
    ::ValidateRect(Hwnd(), nullptr);
}

void BoundBusyCtrl::Paint() const {
    ::InvalidateRect(Hwnd(), nullptr, TRUE);
    ::UpdateWindow(Hwnd());
}

bool CreateBusyChild(HWND host, CBusyProgressCtrl& ctrl) {
    CWnd parent;
    parent.m_hWnd = host;
    const bool created = ctrl.Create(WS_CHILD | WS_VISIBLE, RECT{0, 20, 110, 32}, &parent, 77) != FALSE;
    parent.m_hWnd = nullptr;
    return created;
}

Canvas::Canvas(int width, int height) : m_width(width) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    m_bitmap = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_dc.CreateCompatibleDC(nullptr);
    m_old = m_dc.SelectObject(m_bitmap);
}

Canvas::~Canvas() {
    m_dc.SelectObject(m_old);
    ::DeleteObject(m_bitmap);
}

void DrawRow(CBusyProgressCtrl& ctrl, Canvas& canvas) {
    ctrl.DrawBackground(&canvas.Dc(), &ctrl.m_rcClient);
    ctrl.DrawBlocks(&canvas.Dc(), &ctrl.m_rcClient);
}

std::vector<std::pair<int, int>> BlockSpans(HDC dc, int width, COLORREF back) {
    std::vector<std::pair<int, int>> spans;
    for (int x = 0; x < width; ++x) {
        if (::GetPixel(dc, x, 0) == back)
            continue;
        const int left = x;
        while (x < width && ::GetPixel(dc, x, 0) != back)
            ++x;
        spans.emplace_back(left, x);
    }
    return spans;
}

std::string DescribeRow(HDC dc, int width, int midRow) {
    std::string row;
    for (auto [left, right] : BlockSpans(dc, width, kBack)) {
        if (!row.empty())
            row += ' ';
        const COLORREF outline = ::GetPixel(dc, left, 0);
        if (outline == kActiveBorder) {
            row += 'A';
            continue;
        }
        row += outline == kBlockBorder ? "o" : "?";
        int fill = 0;
        while (left + 1 + fill < right && ::GetPixel(dc, left + 1 + fill, midRow) == kActive)
            ++fill;
        if (fill > 0)
            row += std::to_string(fill);
    }
    return row;
}

ThreadWatch::ThreadWatch(const CBusyProgressCtrl& ctrl) {
    if (ctrl.m_pThread)
        ::DuplicateHandle(::GetCurrentProcess(), ctrl.m_pThread->m_hThread, ::GetCurrentProcess(), &m_handle,
                          SYNCHRONIZE, FALSE, 0);
}

ThreadWatch::~ThreadWatch() {
    if (m_handle)
        ::CloseHandle(m_handle);
}
