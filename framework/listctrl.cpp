#include "listctrl.h"

BOOL CListCtrl::SetCheck(int item, BOOL check) const {
    LVITEMW lvi{};
    lvi.stateMask = LVIS_STATEIMAGEMASK;
    lvi.state = INDEXTOSTATEIMAGEMASK(check ? 2 : 1);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&lvi)));
}

int CListCtrl::HitTest(POINT pt, UINT* flags) const {
    LVHITTESTINFO info{};
    info.pt = pt;
    int item = static_cast<int>(SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
    if (flags)
        *flags = info.flags;
    return item;
}

int CListCtrl::InsertColumn(int col, LPCWSTR heading, int format, int width) const {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<LPWSTR>(heading);
    column.iSubItem = col;
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, col, reinterpret_cast<LPARAM>(&column)));
}

int CListCtrl::InsertItem(int item, LPCWSTR text) const {
    LVITEMW lvi{};
    lvi.mask = LVIF_TEXT;
    lvi.iItem = item;
    lvi.pszText = const_cast<LPWSTR>(text);
    return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lvi)));
}

BOOL CListCtrl::SetItemText(int item, int subItem, LPCWSTR text) const {
    LVITEMW lvi{};
    lvi.iSubItem = subItem;
    lvi.pszText = const_cast<LPWSTR>(text);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTW, item, reinterpret_cast<LPARAM>(&lvi)));
}

std::wstring CListCtrl::GetItemText(int item, int subItem) const {
    wchar_t buffer[260] = {};
    LVITEMW lvi{};
    lvi.iSubItem = subItem;
    lvi.pszText = buffer;
    lvi.cchTextMax = static_cast<int>(std::size(buffer));
    LRESULT n = SendMessage(LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&lvi));
    return std::wstring(buffer, static_cast<size_t>(n > 0 ? n : 0));
}

bool CListCtrl::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (msg == WM_DRAWITEM) {
        DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        *pResult = TRUE;
        return true;
    }
    return CWnd::OnChildNotify(msg, wParam, lParam, pResult);
}
