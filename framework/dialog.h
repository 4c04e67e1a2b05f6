#pragma once
// CDialog: a modal dialog from a template. The dialog procedure attaches the object at
// WM_INITDIALOG and lets no exception escape into the system.
#include "ddx.h"
#include "wnd.h"

class CDialog : public CWnd {
  public:
    explicit CDialog(UINT templateId, CWnd* pParent = nullptr)
        : m_nIDTemplate(templateId), m_pParentWnd(pParent) {}

    // Runs the dialog's modal loop. Without a parent the application's main window owns it.
    virtual INT_PTR DoModal();
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    void EndDialog(int result) const { ::EndDialog(m_hWnd, result); }

  protected:
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange*) {}
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    // For a dialog the default processing is the dialog manager's own, which runs when the dialog
    // procedure says it did not handle the message.
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    DECLARE_MESSAGE_MAP()

  private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    INT_PTR Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
    HWND OwnerWindow() const;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    bool m_bDefaultWanted = false;
};
