#include "wnd.h"

#include <mutex>
#include <unordered_map>

#include <commctrl.h>

namespace {
constexpr UINT_PTR kSubclassId = 1;

// Which object each of this process's windows belongs to. Kept in the process, not on the window
// (as a window property would be), so another process cannot make us call through a pointer of its
// choosing by giving its own window the same mark.
class WindowObjectMap {
  public:
    CWnd* Find(HWND hWnd) {
        std::lock_guard<std::mutex> hold(m_lock);
        auto it = m_objects.find(hWnd);
        return it == m_objects.end() ? nullptr : it->second;
    }
    void Set(HWND hWnd, CWnd* object) {
        std::lock_guard<std::mutex> hold(m_lock);
        if (object)
            m_objects[hWnd] = object;
        else
            m_objects.erase(hWnd);
    }

  private:
    std::mutex m_lock; // dialogs may live on more than one thread
    std::unordered_map<HWND, CWnd*> m_objects;
};

WindowObjectMap& Objects() {
    static WindowObjectMap objects;
    return objects;
}
} // namespace

CWnd::~CWnd() {
    if (m_bSubclassed && ::IsWindow(m_hWnd))
        UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) { return hWnd ? Objects().Find(hWnd) : nullptr; }

void CWnd::AttachObject(HWND hWnd, CWnd* object) { Objects().Set(hWnd, object); }

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (hWnd == nullptr || m_hWnd != nullptr)
        return FALSE;
    m_hWnd = hWnd;
    PreSubclassWindow();
    if (!::SetWindowSubclass(hWnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        m_hWnd = nullptr;
        return FALSE;
    }
    AttachObject(hWnd, this);
    m_bSubclassed = true;
    return TRUE;
}

HWND CWnd::UnsubclassWindow() {
    HWND hWnd = m_hWnd;
    if (m_bSubclassed && hWnd) {
        ::RemoveWindowSubclass(hWnd, SubclassProc, kSubclassId);
        AttachObject(hWnd, nullptr);
    }
    m_bSubclassed = false;
    m_hWnd = nullptr;
    return hWnd;
}

BOOL CWnd::Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                  UINT id) {
    CREATESTRUCTW cs{};
    cs.lpszClass = className;
    cs.lpszName = windowName;
    cs.style = style;
    cs.x = rect.left;
    cs.y = rect.top;
    cs.cx = rect.right - rect.left;
    cs.cy = rect.bottom - rect.top;
    cs.hwndParent = parent ? parent->m_hWnd : nullptr;
    cs.hMenu = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id));
    cs.hInstance = ::GetModuleHandleW(nullptr);
    if (!PreCreateWindow(cs))
        return FALSE;
    HWND hWnd = ::CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, cs.style, cs.x, cs.y, cs.cx, cs.cy,
                                  cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
    if (hWnd == nullptr)
        return FALSE;
    if (!SubclassWindow(hWnd)) {
        ::DestroyWindow(hWnd);
        return FALSE;
    }
    return TRUE;
}

std::wstring CWnd::GetWindowText() const {
    int n = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    n = ::GetWindowTextW(m_hWnd, text.data(), n + 1);
    text.resize(static_cast<size_t>(n > 0 ? n : 0));
    return text;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    CurrentMessageScope scope(m_current, msg, wParam, lParam);
    LRESULT result = 0;
    if (ReflectToChild(msg, wParam, lParam, m_hWnd, &result))
        return result;
    if (ProcessWindowMessage(msg, wParam, lParam, result))
        return result;
    return DefWindowProc(msg, wParam, lParam);
}

LRESULT CWnd::Default() { return DefWindowProc(m_current.msg, m_current.wParam, m_current.lParam); }

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_bSubclassed)
        return ::DefSubclassProc(m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, msg, wParam, lParam);
}

bool CWnd::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    LRESULT result = 0;
    if (!ProcessWindowMessage(WM_REFLECT_BASE + msg, wParam, lParam, result))
        return false;
    *pResult = result;
    return true;
}

bool CWnd::ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, HWND parent, LRESULT* pResult) {
    HWND child = nullptr;
    switch (msg) {
    case WM_NOTIFY:
        child = reinterpret_cast<NMHDR*>(lParam)->hwndFrom;
        break;
    case WM_DRAWITEM:
        child = reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem;
        break;
    case WM_MEASUREITEM: {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        child = mis->CtlType == ODT_MENU ? nullptr : ::GetDlgItem(parent, static_cast<int>(mis->CtlID));
        break;
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        child = reinterpret_cast<HWND>(lParam);
        break;
    default:
        return false;
    }
    CWnd* object = FromHandlePermanent(child);
    if (object == nullptr || child == parent)
        return false;
    return object->OnChildNotify(msg, wParam, lParam, pResult);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR refData) {
    auto* self = reinterpret_cast<CWnd*>(refData);
    // No exception may cross back into the system's window code.
    try {
        if (msg == WM_NCDESTROY) {
            LRESULT result = self->WindowProc(msg, wParam, lParam);
            self->UnsubclassWindow();
            return result;
        }
        return self->WindowProc(msg, wParam, lParam);
    } catch (...) {
        return ::DefSubclassProc(hWnd, msg, wParam, lParam);
    }
}
