#include "main_app.h"

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

CMainApp theApp;
