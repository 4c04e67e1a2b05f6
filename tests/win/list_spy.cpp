#include "list_spy.h"

#include <commctrl.h>

namespace test {

namespace {
// One spy at a time per test program: the window procedure finds it here.
std::atomic<ListSpy*> g_spy{nullptr};
} // namespace

ListSpy::ListSpy(HWND list) : m_list(list) {
    g_spy = this;
    m_next = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ListSpy::Proc)));
}

ListSpy::~ListSpy() {
    if (::IsWindow(m_list) &&
        ::GetWindowLongPtrW(m_list, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&ListSpy::Proc))
        ::SetWindowLongPtrW(m_list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_next));
    g_spy = nullptr;
}

LRESULT CALLBACK ListSpy::Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ListSpy* spy = g_spy.load();
    switch (msg) {
    case WM_SETREDRAW:
        spy->m_lastRedraw = static_cast<int>(wParam);
        break;
    case LVM_DELETEALLITEMS:
        spy->m_lastEmptied = std::chrono::steady_clock::now().time_since_epoch().count();
        break;
    case LVM_INSERTITEMW:
        if (DWORD delay = spy->m_insertDelayMs.load())
            ::Sleep(delay);
        break;
    default:
        break;
    }
    return ::CallWindowProcW(spy->m_next, hWnd, msg, wParam, lParam);
}

} // namespace test
