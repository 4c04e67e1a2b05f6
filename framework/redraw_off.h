#pragma once
// Keeps a window from repainting for the owner's scope, and repaints it once at the end, however the
// scope is left: a window left with redraw off never paints again.
#include "wnd.h"

class CRedrawOff {
  public:
    explicit CRedrawOff(const CWnd& wnd) : m_wnd(wnd) { m_wnd.SetRedraw(FALSE); }
    ~CRedrawOff() {
        m_wnd.SetRedraw(TRUE);
        m_wnd.Invalidate();
    }
    CRedrawOff(const CRedrawOff&) = delete;
    CRedrawOff& operator=(const CRedrawOff&) = delete;

  private:
    const CWnd& m_wnd;
};
