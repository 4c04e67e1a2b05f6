#pragma once
// CListCtrl: one-line wrappers over the list view messages, keeping the system's names.
#include <string>

#include <windows.h>
#include <commctrl.h>

#include "wnd.h"

class CListCtrl : public CWnd {
  public:
    using CWnd::Create;
    // Creates a list view child window; PreCreateWindow may change the style first.
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
        return CWnd::Create(WC_LISTVIEWW, nullptr, style, rect, parent, id);
    }
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    int GetSelectionMark() const { return static_cast<int>(SendMessage(LVM_GETSELECTIONMARK)); }
    int SetSelectionMark(int item) const {
        return static_cast<int>(SendMessage(LVM_SETSELECTIONMARK, 0, item));
    }
    BOOL DeleteAllItems() const { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
    DWORD GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
    DWORD SetExtendedStyle(DWORD style) const {
        return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style));
    }
    BOOL SetBkColor(COLORREF c) const { return static_cast<BOOL>(SendMessage(LVM_SETBKCOLOR, 0, c)); }
    BOOL SetTextBkColor(COLORREF c) const { return static_cast<BOOL>(SendMessage(LVM_SETTEXTBKCOLOR, 0, c)); }
    BOOL SetTextColor(COLORREF c) const { return static_cast<BOOL>(SendMessage(LVM_SETTEXTCOLOR, 0, c)); }
    int GetColumnWidth(int col) const { return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, col)); }
    BOOL SetColumnWidth(int col, int width) const {
        return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, col, MAKELPARAM(width, 0)));
    }
    BOOL GetColumn(int col, LVCOLUMNW* column) const {
        return static_cast<BOOL>(SendMessage(LVM_GETCOLUMNW, col, reinterpret_cast<LPARAM>(column)));
    }
    BOOL GetItem(LVITEMW* item) const {
        return static_cast<BOOL>(SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(item)));
    }
    HWND GetHeaderCtrl() const { return reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER)); }
    HIMAGELIST GetImageList(int which) const {
        return reinterpret_cast<HIMAGELIST>(SendMessage(LVM_GETIMAGELIST, which));
    }
    BOOL GetItemRect(int item, RECT* rect, UINT code) const {
        rect->left = static_cast<LONG>(code);
        return static_cast<BOOL>(SendMessage(LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(rect)));
    }
    int GetNextItem(int start, UINT flags) const {
        return static_cast<int>(SendMessage(LVM_GETNEXTITEM, start, MAKELPARAM(flags, 0)));
    }
    UINT GetItemState(int item, UINT mask) const {
        return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, item, mask));
    }
    BOOL GetCheck(int item) const { return ((GetItemState(item, LVIS_STATEIMAGEMASK) >> 12) - 1) > 0; }
    BOOL SetCheck(int item, BOOL check) const;
    int HitTest(POINT pt, UINT* flags = nullptr) const;

    int InsertColumn(int col, LPCWSTR heading, int format, int width) const;
    int InsertItem(int item, LPCWSTR text) const;
    BOOL SetItemText(int item, int subItem, LPCWSTR text) const;
    std::wstring GetItemText(int item, int subItem) const;

  protected:
    // Owner drawing, passed on from the parent.
    virtual void DrawItem(LPDRAWITEMSTRUCT) {}
    bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};
