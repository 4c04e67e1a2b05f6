#pragma once
#include <windows.h>
#include <commctrl.h>

#include "wnd.h"

// CIPAddressCtrl: the four-field address control.
class CIPAddressCtrl : public CWnd {
  public:
    void SetFieldRange(int field, BYTE low, BYTE high) const {
        SendMessage(IPM_SETRANGE, field, MAKEIPRANGE(low, high));
    }
    void SetAddress(BYTE f0, BYTE f1, BYTE f2, BYTE f3) const {
        SendMessage(IPM_SETADDRESS, 0, MAKEIPADDRESS(f0, f1, f2, f3));
    }
    // Returns the number of non-blank fields.
    int GetAddress(BYTE& f0, BYTE& f1, BYTE& f2, BYTE& f3) const {
        DWORD address = 0;
        int filled = static_cast<int>(SendMessage(IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address)));
        f0 = FIRST_IPADDRESS(address);
        f1 = SECOND_IPADDRESS(address);
        f2 = THIRD_IPADDRESS(address);
        f3 = FOURTH_IPADDRESS(address);
        return filled;
    }
    BOOL IsBlank() const { return static_cast<BOOL>(SendMessage(IPM_ISBLANK)); }
    // True when all four fields hold a number.
    bool IsComplete() const {
        BYTE f0 = 0, f1 = 0, f2 = 0, f3 = 0;
        return GetAddress(f0, f1, f2, f3) == 4;
    }

    // The edit window of field 0 to 3 (left to right), or null.
    HWND FieldWindow(int field) const;
    // The first field that holds no number, or -1 when all four do.
    int FirstBlankField() const;
    // Gives the field the focus, its text selected.
    void SetFieldFocus(int field) const { SendMessage(IPM_SETFOCUS, field); }
};
