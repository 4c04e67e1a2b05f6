#include "main_app.h"

#include "dll_search.h"
#include "main_dlg.h"

BEGIN_MESSAGE_MAP(CMainApp, CWinApp)
ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

BOOL CMainApp::InitInstance() {
    {
        CMainDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
    }
    // FALSE: the program ends here, without the application's message loop.
    return FALSE;
}

namespace {
// Before the application object, and so before any window, socket or click: every DLL loaded by name
// from here on comes from the system folder, not from wherever this program was copied to.
[[maybe_unused]] const bool g_dllSearchRestricted = [] {
    RestrictDllSearchToSystemFolder();
    return true;
}();
} // namespace

CMainApp theApp;
