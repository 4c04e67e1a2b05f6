#pragma once
// CMyListCtrl: the device list. On top of the plain list view it tells its parent about every click
// and key press (MLN_INPUT), edits a row's label on Alt+click, toggles the marked row's check state on
// a double click and records the text colours it is given. A list made with Create (rather than bound
// to a template control) also draws its report rows itself, highlighting whole rows up to the client
// area's right edge.
#include <windows.h>
#include <commctrl.h>

#include "gdi.h"
#include "listctrl.h"
#include "msgmap.h"

// WM_NOTIFY code sent to the parent after a plain click or a key press has been processed.
constexpr UINT MLN_INPUT = 0x1000;

class CMyListCtrl : public CListCtrl {
  public:
    CMyListCtrl();

    static constexpr const char* GetRuntimeClassName() { return "CMyListCtrl"; }
    static constexpr const char* GetBaseClassName() { return "CListCtrl"; }

    // Report view only: the item under `point` and the display position of the column under it.
    // TRUE when both exist; otherwise the missing one is -1.
    BOOL HitTestCell(POINT point, int* pRow, int* pCol) const;
    // Width of the header item shown at display position `order`, or 0 when there is none.
    int GetColumnWidthByOrder(int order) const;

  protected:
    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
    void DrawItem(LPDRAWITEMSTRUCT dis) override;
    void MeasureItem(LPMEASUREITEMSTRUCT mis);

    // Invalidates the rows that show a highlight (the focused row, and the selected rows when the
    // highlight depends on focus) and repaints them at once.
    void RepaintSelectedRows();
    void NotifyParent();

    void OnPaint();
    void OnSetFocus(HWND oldWnd);
    void OnKillFocus(HWND newWnd);
    void OnMouseMove(UINT flags, POINT point);
    void OnLButtonDown(UINT flags, POINT point);
    void OnLButtonDblClk(UINT flags, POINT point);
    void OnKeyDown(UINT nChar, UINT repeatCount, UINT flags);
    void OnDestroy();
    HBRUSH OnCtlColor(HDC dc, HWND wnd, UINT ctlColor);
    LRESULT OnSetFont(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetTextColor(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetTextBkColor(WPARAM wParam, LPARAM lParam);

    COLORREF m_crHighlight; // fill of a highlighted owner-drawn row
    BOOL m_bFullRow;        // set only for lists made with Create: owner-drawn full-row mode
    BOOL m_bToClientEdge;   // a row's fill reaches the client area's right edge
    COLORREF m_crText;      // as last given with LVM_SETTEXTCOLOR
    COLORREF m_crTextBk;    // as last given with LVM_SETTEXTBKCOLOR

    DECLARE_MESSAGE_MAP()

  private:
    bool IsReportView() const;
    // The rectangle a row's highlight covers: its bounds from the label's left edge on.
    RECT HighlightRect(int item) const;

    CBrush m_brushEditBk; // answers the label editor's colour request; lives as long as the window
};
