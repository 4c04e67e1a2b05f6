#include "list_test_support.h"

#include <algorithm>
#include <cstring>

namespace {
const wchar_t kHostClass[] = L"QuillmastListTestHost";
constexpr UINT_PTR kSpyId = 0x5059;

void RegisterHostClass() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&icc);
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kHostClass;
        return ::RegisterClassW(&wc) != 0;
    }();
    (void)registered;
}

int FocusedItemOf(HWND list) {
    return static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}
} // namespace

HostWindow::HostWindow(ListEventLog& log) : m_log(log) {
    RegisterHostClass();
    RECT rect{0, 0, 640, 480};
    Create(kHostClass, L"list test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, rect, nullptr, 0);
    ::SetForegroundWindow(m_hWnd);
    PumpMessages();
}

HostWindow::~HostWindow() {
    if (::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

bool HostWindow::ProcessWindowMessage(UINT msg, WPARAM, LPARAM lParam, LRESULT&) {
    if (msg == WM_NOTIFY) {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
        ListEvent event{};
        event.kind = ListEvent::ParentNotify;
        event.code = hdr->code;
        event.idFrom = hdr->idFrom;
        event.focusedItem = FocusedItemOf(hdr->hwndFrom);
        m_log.push_back(event);
    }
    return false;
}

ListViewSpy::ListViewSpy(HWND list, ListEventLog& log) : m_hList(list), m_log(log) {
    ::SetWindowSubclass(list, Proc, kSpyId, reinterpret_cast<DWORD_PTR>(this));
}

ListViewSpy::~ListViewSpy() {
    if (::IsWindow(m_hList))
        ::RemoveWindowSubclass(m_hList, Proc, kSpyId);
}

LRESULT CALLBACK ListViewSpy::Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR refData) {
    auto* self = reinterpret_cast<ListViewSpy*>(refData);
    if (msg == WM_GETFONT && self->m_bHideFont)
        return 0;
    ListEvent event{};
    event.kind = ListEvent::ListViewDone;
    event.code = msg;
    event.wParam = wParam;
    if (msg == WM_WINDOWPOSCHANGED)
        event.position = *reinterpret_cast<const WINDOWPOS*>(lParam);
    LRESULT result = ::DefSubclassProc(wnd, msg, wParam, lParam);
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_KEYDOWN:
    case WM_SETFONT:
    case WM_WINDOWPOSCHANGED:
    case LVM_EDITLABELW:
        event.focusedItem = FocusedItemOf(wnd);
        self->m_log.push_back(event);
        break;
    default:
        break;
    }
    return result;
}

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void Click(HWND list, POINT pt) {
    ::PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    ::PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    PumpMessages();
}

void DoubleClick(HWND list, POINT pt) {
    Click(list, pt);
    ::PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    ::PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    PumpMessages();
}

POINT CellCentre(HWND list, int item, int subItem) {
    RECT rect{};
    rect.top = subItem;
    rect.left = LVIR_BOUNDS;
    ::SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect));
    if (subItem == 0) // column 0's sub-item rectangle spans the whole row
        rect.right = rect.left + static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

COLORREF PixelAt(HWND wnd, POINT pt) {
    ::UpdateWindow(wnd);
    HDC dc = ::GetDC(wnd);
    COLORREF color = ::GetPixel(dc, pt.x, pt.y);
    ::ReleaseDC(wnd, dc);
    return color;
}

HeldKey::HeldKey(BYTE virtualKey) {
    ::GetKeyboardState(m_saved);
    BYTE state[256];
    std::memcpy(state, m_saved, sizeof state);
    state[virtualKey] |= 0x80;
    if (virtualKey == VK_LMENU || virtualKey == VK_RMENU)
        state[VK_MENU] |= 0x80;
    ::SetKeyboardState(state);
}

HeldKey::~HeldKey() { ::SetKeyboardState(m_saved); }

int CountEvents(const ListEventLog& log, ListEvent::Kind kind, UINT code) {
    return static_cast<int>(std::count_if(
        log.begin(), log.end(), [&](const ListEvent& e) { return e.kind == kind && e.code == code; }));
}

int FindEvent(const ListEventLog& log, ListEvent::Kind kind, UINT code) {
    auto it = std::find_if(log.begin(), log.end(),
                           [&](const ListEvent& e) { return e.kind == kind && e.code == code; });
    return it == log.end() ? -1 : static_cast<int>(it - log.begin());
}

int FindLastEvent(const ListEventLog& log, ListEvent::Kind kind, UINT code) {
    for (int i = static_cast<int>(log.size()) - 1; i >= 0; --i)
        if (log[i].kind == kind && log[i].code == code)
            return i;
    return -1;
}
