#include "my_list_ctrl.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "dpi.h"

namespace {
// Cell text: one line, vertically centred, no '&' prefixes, cut with an ellipsis when too long.
constexpr UINT kCellTextFormat = DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | DT_END_ELLIPSIS;
// The size the list view sees after a font change: same size, nothing else touched.
constexpr UINT kResizeOnlyFlags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;

UINT JustificationOf(int columnFormat) {
    switch (columnFormat & LVCFMT_JUSTIFYMASK) {
    case LVCFMT_RIGHT:
        return DT_RIGHT;
    case LVCFMT_CENTER:
        return DT_CENTER;
    default:
        return DT_LEFT;
    }
}

void DrawCellText(const CDC& dc, const std::wstring& text, RECT rect, UINT justification) {
    dc.DrawText(text.c_str(), -1, &rect, justification | kCellTextFormat);
}

int HeaderItemCount(HWND header) { return header ? Header_GetItemCount(header) : 0; }
} // namespace

BEGIN_MESSAGE_MAP(CMyListCtrl, CListCtrl)
ON_WM_PAINT()
ON_WM_SETFOCUS()
ON_WM_KILLFOCUS()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONDBLCLK()
ON_WM_KEYDOWN()
ON_WM_DESTROY()
ON_WM_CTLCOLOR()
ON_MESSAGE(WM_SETFONT, OnSetFont)
ON_WM_MEASUREITEM_REFLECT()
ON_MESSAGE(LVM_SETTEXTCOLOR, OnSetTextColor)
ON_MESSAGE(LVM_SETTEXTBKCOLOR, OnSetTextBkColor)
END_MESSAGE_MAP()

CMyListCtrl::CMyListCtrl()
    : m_crHighlight(::GetSysColor(COLOR_HIGHLIGHT)), m_bFullRow(FALSE), m_bToClientEdge(TRUE),
      m_crText(RGB(0xFF, 0x00, 0xFF)), m_crTextBk(::GetSysColor(COLOR_WINDOW)) {}

bool CMyListCtrl::IsReportView() const { return (GetStyle() & LVS_TYPEMASK) == LVS_REPORT; }

RECT CMyListCtrl::HighlightRect(int item) const {
    RECT bounds{};
    RECT label{};
    GetItemRect(item, &bounds, LVIR_BOUNDS);
    GetItemRect(item, &label, LVIR_LABEL);
    bounds.left = label.left;
    return bounds;
}

BOOL CMyListCtrl::PreCreateWindow(CREATESTRUCTW& cs) {
    // Clearing the small-icon bit turns every view type into report view (list 3 -> 1, small icon
    // 2 -> 0), and the report bit then covers icon view too.
    cs.style = (cs.style & ~static_cast<DWORD>(LVS_SMALLICON)) | LVS_REPORT | LVS_OWNERDRAWFIXED;
    m_bFullRow = TRUE;
    return CListCtrl::PreCreateWindow(cs);
}

void CMyListCtrl::DrawItem(LPDRAWITEMSTRUCT dis) {
    CDC dc = CDC::FromHandle(dis->hDC);
    const int savedState = dc.SaveDC();
    const int item = static_cast<int>(dis->itemID);

    LVITEMW lvi{};
    lvi.mask = LVIF_IMAGE | LVIF_STATE;
    lvi.iItem = item;
    lvi.stateMask = 0xFFFF;
    GetItem(&lvi);
    const UINT state = lvi.state;
    const bool hasFocus = ::GetFocus() == m_hWnd;
    const bool highlighted =
        (state & LVIS_DROPHILITED) != 0 ||
        ((state & LVIS_SELECTED) != 0 && (hasFocus || (GetStyle() & LVS_SHOWSELALWAYS) != 0));

    RECT bounds{};
    RECT label{};
    RECT icon{};
    GetItemRect(item, &bounds, LVIR_BOUNDS);
    GetItemRect(item, &label, LVIR_LABEL);
    GetItemRect(item, &icon, LVIR_ICON);
    RECT column = bounds;
    const std::wstring firstText = GetItemText(item, 0);

    const int space = dc.GetTextExtent(L" ", 1).cx;
    const int inset = 2 * space;

    RECT fill = bounds;
    fill.left = label.left;
    RECT client{};
    GetClientRect(&client);
    if (m_bToClientEdge && fill.right < client.right)
        fill.right = client.right;

    // The background colour is set to the fill in both cases, so text cells never show the list
    // view's own colour. Highlighted text uses the system's highlight text colour: the owner's text
    // colour need not stand out against the highlight.
    const COLORREF fillColor = highlighted ? m_crHighlight : m_crTextBk;
    const COLORREF textColor = highlighted ? ::GetSysColor(COLOR_HIGHLIGHTTEXT) : m_crText;
    dc.SetBkColor(fillColor);
    {
        CBrush brush(fillColor);
        dc.FillRect(&fill, brush);
    }

    column.right = bounds.left + GetColumnWidth(0);

    HIMAGELIST stateImages = GetImageList(LVSIL_STATE);
    if ((state & LVIS_STATEIMAGEMASK) != 0 && stateImages)
        ::ImageList_Draw(stateImages, static_cast<int>((state >> 12) & 0xF) - 1, dc, column.left, column.top,
                         ILD_TRANSPARENT);
    HIMAGELIST smallImages = GetImageList(LVSIL_SMALL);
    if (smallImages) {
        UINT style = ILD_TRANSPARENT | (state & LVIS_OVERLAYMASK) | (highlighted ? ILD_SELECTED : 0);
        ::ImageList_Draw(smallImages, lvi.iImage, dc, icon.left, icon.top, style);
    }

    dc.SetTextColor(textColor);
    label.left += space - ScaledForDpi(1, WindowDpi(m_hWnd));
    label.right -= inset;
    DrawCellText(dc, firstText, label, DT_LEFT);

    // Sub-items follow column 0 by index, one after another.
    LVCOLUMNW lvc{};
    lvc.mask = LVCF_FMT | LVCF_WIDTH;
    for (int sub = 1; GetColumn(sub, &lvc); ++sub) {
        column.left = column.right;
        column.right = column.left + lvc.cx;
        RECT textRect = column;
        textRect.left += inset;
        textRect.right -= inset;
        DrawCellText(dc, GetItemText(item, sub), textRect, JustificationOf(lvc.fmt));
    }

    if ((state & LVIS_FOCUSED) != 0 && hasFocus)
        dc.DrawFocusRect(&fill);
    dc.RestoreDC(savedState);
}

void CMyListCtrl::MeasureItem(LPMEASUREITEMSTRUCT mis) {
    HFONT font = GetFont();
    // Without a font of its own the list view draws in the system's default GUI font, so rows are
    // sized for that.
    if (font == nullptr)
        font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTW lf{};
    // A height of 0 asks for the font's default size, which says nothing about rows: the list view's
    // own proposal is kept then.
    if (::GetObjectW(font, sizeof lf, &lf) == sizeof lf && lf.lfHeight != 0)
        mis->itemHeight = static_cast<UINT>(std::abs(lf.lfHeight));
}

void CMyListCtrl::RepaintSelectedRows() {
    int focused = GetNextItem(-1, LVNI_FOCUSED);
    if (focused != -1) {
        RECT rect = HighlightRect(focused);
        InvalidateRect(&rect, FALSE);
    }
    if ((GetStyle() & LVS_SHOWSELALWAYS) == 0) {
        for (int item = GetNextItem(-1, LVNI_SELECTED); item != -1; item = GetNextItem(item, LVNI_SELECTED)) {
            RECT rect = HighlightRect(item);
            InvalidateRect(&rect, FALSE);
        }
    }
    UpdateWindow();
}

void CMyListCtrl::NotifyParent() {
    NMHDR hdr{};
    hdr.hwndFrom = m_hWnd;
    hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
    hdr.code = MLN_INPUT;
    ::SendMessageW(GetParent(), WM_NOTIFY, hdr.idFrom, reinterpret_cast<LPARAM>(&hdr));
}

BOOL CMyListCtrl::HitTestCell(POINT point, int* pRow, int* pCol) const {
    if (!IsReportView())
        return FALSE;
    *pRow = HitTest(point);
    *pCol = -1;
    // Header items are laid out from the header's left edge, which moves left of the client area
    // when the list is scrolled sideways.
    HWND header = GetHeaderCtrl();
    POINT origin{0, 0};
    if (header)
        ::MapWindowPoints(header, m_hWnd, &origin, 1);
    int remainder = point.x - origin.x;
    const int count = HeaderItemCount(header);
    for (int order = 0; order < count; ++order) {
        remainder -= GetColumnWidthByOrder(order);
        if (remainder < 0) {
            *pCol = order;
            break;
        }
    }
    return *pRow != -1 && *pCol != -1;
}

int CMyListCtrl::GetColumnWidthByOrder(int order) const {
    HWND header = GetHeaderCtrl();
    const int count = HeaderItemCount(header);
    for (int index = 0; index < count; ++index) {
        HDITEMW hdi{};
        hdi.mask = HDI_WIDTH | HDI_ORDER;
        if (Header_GetItem(header, index, &hdi) && hdi.iOrder == order)
            return hdi.cxy;
    }
    return 0;
}

void CMyListCtrl::OnPaint() {
    RECT client{};
    RECT firstRow{};
    GetClientRect(&client);
    // The list view repaints only the rows that meet the invalid area, so a strip right of the last
    // column would keep a stale fill. Widening the area to reach into row 0 makes it draw the rows
    // there, whose fill runs on to the client edge.
    if (m_bToClientEdge && m_bFullRow && IsReportView() && GetItemRect(0, &firstRow, LVIR_BOUNDS) &&
        firstRow.right < client.right) {
        CPaintDC dc(m_hWnd);
        RECT clip{};
        dc.GetClipBox(&clip);
        clip.left = std::min(clip.left, firstRow.right - 1);
        clip.right = client.right;
        InvalidateRect(&clip, FALSE);
    }
    Default();
}

void CMyListCtrl::OnSetFocus(HWND) {
    Default();
    if (m_bFullRow && IsReportView())
        RepaintSelectedRows();
}

void CMyListCtrl::OnKillFocus(HWND newWnd) {
    Default();
    // The label editor taking the focus leaves the row highlighted as it is.
    if (newWnd && ::GetParent(newWnd) == m_hWnd)
        return;
    if (m_bFullRow && IsReportView())
        RepaintSelectedRows();
}

void CMyListCtrl::OnMouseMove(UINT flags, POINT) {
    // A move with only the left button held is swallowed, so the list view starts no drag or marquee
    // selection from it; with any other key or button held as well it passes.
    if (flags == MK_LBUTTON)
        return;
    Default();
}

void CMyListCtrl::OnLButtonDown(UINT, POINT point) {
    const bool altDown = ::GetKeyState(VK_LMENU) < 0 || ::GetKeyState(VK_RMENU) < 0;
    if (!altDown) {
        Default();
        NotifyParent();
        return;
    }
    // Alt+click edits the row's label; the click itself neither selects nor notifies.
    int row = -1;
    int col = -1;
    if (HitTestCell(point, &row, &col)) {
        SetFocus();
        PostMessage(LVM_EDITLABEL, static_cast<WPARAM>(row));
    }
}

void CMyListCtrl::OnLButtonDblClk(UINT, POINT) {
    // Any extended style will do, check boxes or not; the marked row is the one toggled.
    if (GetExtendedStyle() != 0) {
        const int item = GetSelectionMark();
        if (item >= 0)
            SetCheck(item, !GetCheck(item));
    }
    Default();
}

void CMyListCtrl::OnKeyDown(UINT, UINT, UINT) {
    Default();
    NotifyParent();
}

void CMyListCtrl::OnDestroy() {
    m_brushEditBk.DeleteObject();
    Default();
}

HBRUSH CMyListCtrl::OnCtlColor(HDC, HWND, UINT) {
    // The default processing prepares the label editor's DC; its brush is not the one wanted.
    Default();
    if (m_brushEditBk.GetSafeHandle() == nullptr)
        m_brushEditBk.CreateSolidBrush(RGB(0, 0, 0));
    return m_brushEditBk;
}

LRESULT CMyListCtrl::OnSetFont(WPARAM, LPARAM) {
    const LRESULT result = Default();
    // An owner-drawn list view asks its parent for the row height only when its size changes, so
    // tell it the size again now that the font is different.
    RECT rect{};
    GetWindowRect(&rect);
    WINDOWPOS pos{};
    pos.hwnd = m_hWnd;
    pos.cx = rect.right - rect.left;
    pos.cy = rect.bottom - rect.top;
    pos.flags = kResizeOnlyFlags;
    SendMessage(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    return result;
}

LRESULT CMyListCtrl::OnSetTextColor(WPARAM, LPARAM lParam) {
    m_crText = static_cast<COLORREF>(lParam);
    return Default();
}

LRESULT CMyListCtrl::OnSetTextBkColor(WPARAM, LPARAM lParam) {
    m_crTextBk = static_cast<COLORREF>(lParam);
    return Default();
}
