#pragma once
// CWnd: a window object that wraps an HWND it does not own. Controls bound from a dialog template
// are subclassed, so their messages run through the object's message map first.
#include <string>

#include <windows.h>

#include "cmdtarget.h"
#include "msgmap.h"

class CWnd : public CCmdTarget {
  public:
    HWND m_hWnd = nullptr;

    struct CurrentMessage {
        UINT msg = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };

    CWnd() = default;
    ~CWnd() override;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object attached to a window by SubclassWindow or by a dialog, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Attaches to an existing window and routes its messages through WindowProc.
    BOOL SubclassWindow(HWND hWnd);
    HWND UnsubclassWindow();
    // Creates a child window of `className`; PreCreateWindow may change the style first.
    BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id);

    LRESULT SendMessage(UINT msg, WPARAM w = 0, LPARAM l = 0) const {
        return ::SendMessageW(m_hWnd, msg, w, l);
    }
    BOOL PostMessage(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageW(m_hWnd, msg, w, l); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    BOOL EnableDlgItem(int id, BOOL enable = TRUE) const { return ::EnableWindow(GetDlgItem(id), enable); }
    BOOL SetDlgItemText(int id, const std::wstring& text) const {
        return ::SetWindowTextW(GetDlgItem(id), text.c_str());
    }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    HWND SetFocus() const { return ::SetFocus(m_hWnd); }
    BOOL SetWindowText(LPCWSTR text) const { return ::SetWindowTextW(m_hWnd, text); }
    std::wstring GetWindowText() const;
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    BOOL InvalidateRect(const RECT* rect, BOOL erase = TRUE) const {
        return ::InvalidateRect(m_hWnd, rect, erase);
    }
    void Invalidate(BOOL erase = TRUE) const { ::InvalidateRect(m_hWnd, nullptr, erase); }
    BOOL UpdateWindow() const { return ::UpdateWindow(m_hWnd); }
    void SetRedraw(BOOL redraw = TRUE) const { SendMessage(WM_SETREDRAW, redraw); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }

  protected:
    // Called before a template control is attached (DDX_Control) and after the window exists.
    virtual void PreSubclassWindow() {}
    // Called by Create before the window is made.
    virtual BOOL PreCreateWindow(CREATESTRUCTW&) { return TRUE; }

    // Runs the message map, then the default processing.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // The default processing of the message being handled now, for handlers that extend it.
    LRESULT Default();
    virtual LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // A child's message that the parent passes back to the child object (owner drawing, colours,
    // notifications). Returns true when the child handled it.
    virtual bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // Records `object` (or null, to forget it) as the object of `hWnd` for FromHandlePermanent.
    static void AttachObject(HWND hWnd, CWnd* object);
    // Offers a message from a child to that child's object first. Returns true when it was handled.
    static bool ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, HWND parent, LRESULT* pResult);

    CurrentMessage m_current;

  private:
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR refData);
    bool m_bSubclassed = false;

    friend class CDialog;
};

// Remembers the message being dispatched for Default(), and puts the outer one back afterwards.
class CurrentMessageScope {
  public:
    CurrentMessageScope(CWnd::CurrentMessage& slot, UINT msg, WPARAM w, LPARAM l)
        : m_slot(slot), m_saved(slot) {
        slot = {msg, w, l};
    }
    ~CurrentMessageScope() { m_slot = m_saved; }
    CurrentMessageScope(const CurrentMessageScope&) = delete;
    CurrentMessageScope& operator=(const CurrentMessageScope&) = delete;

  private:
    CWnd::CurrentMessage& m_slot;
    CWnd::CurrentMessage m_saved;
};
