#pragma once
#include "wnd.h"

// Data exchange between a dialog and its member objects. Only control binding is needed here.
class CDataExchange {
  public:
    CDataExchange(CWnd* dlg, BOOL saveAndValidate) : m_pDlgWnd(dlg), m_bSaveAndValidate(saveAndValidate) {}
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

// Binds a template control to a member object, once: later exchanges leave it attached.
inline void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (control.m_hWnd == nullptr)
        control.SubclassWindow(pDX->m_pDlgWnd->GetDlgItem(id));
}
