#include "dialog.h"

#include "app.h"

namespace {
// Messages whose result a dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT msg) {
    switch (msg) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}
} // namespace

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

HWND CDialog::OwnerWindow() const {
    if (m_pParentWnd)
        return m_pParentWnd->m_hWnd;
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd && app->m_pMainWnd != this && ::IsWindow(app->m_pMainWnd->m_hWnd))
        return app->m_pMainWnd->m_hWnd;
    return nullptr;
}

INT_PTR CDialog::DoModal() {
    HWND owner = OwnerWindow();
    INT_PTR result = ::DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nIDTemplate), owner,
                                       DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

LRESULT CDialog::DefWindowProc(UINT, WPARAM, LPARAM) {
    m_bDefaultWanted = true;
    return 0;
}

INT_PTR CDialog::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    CurrentMessageScope scope(m_current, msg, wParam, lParam);
    bool outerDefault = m_bDefaultWanted;
    m_bDefaultWanted = false;
    LRESULT result = 0;
    bool handled;
    if (msg == WM_INITDIALOG) {
        result = OnInitDialog();
        handled = true;
    } else {
        handled = ReflectToChild(msg, wParam, lParam, m_hWnd, &result) ||
                  ProcessWindowMessage(msg, wParam, lParam, result);
        // Commands no window took go to the application, as the framework routes them.
        if (!handled && msg == WM_COMMAND && AfxGetApp())
            handled = AfxGetApp()->ProcessWindowMessage(msg, wParam, lParam, result);
    }
    bool wantsDefault = m_bDefaultWanted;
    m_bDefaultWanted = outerDefault;
    if (!handled || wantsDefault)
        return FALSE;
    if (ReturnsResultDirectly(msg))
        return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDialog* self;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrW(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        AttachObject(hWnd, self);
        self->m_hWnd = hWnd;
    } else {
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    }
    if (self == nullptr)
        return FALSE;
    try {
        INT_PTR result = self->Dispatch(msg, wParam, lParam);
        if (msg == WM_NCDESTROY) {
            ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
            AttachObject(hWnd, nullptr);
            self->m_hWnd = nullptr;
        }
        return result;
    } catch (...) {
        return FALSE;
    }
}
