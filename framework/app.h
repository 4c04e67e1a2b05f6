#pragma once
// CWinApp: the one application object. The program's entry point finds it and runs InitInstance;
// returning FALSE there ends the program without a message loop.
#include "cmdtarget.h"
#include "msgmap.h"

class CWnd;

// The standard help command.
#ifndef ID_HELP
#define ID_HELP 0xE146
#endif

class CWinApp : public CCmdTarget {
  public:
    explicit CWinApp(LPCWSTR appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance() { return FALSE; }
    virtual int ExitInstance() { return 0; }
    // The application's own message loop, for programs that keep running after InitInstance.
    virtual int Run();

    // There is no help file; the entry keeps F1 and help commands harmless.
    void OnHelp() {}

    LPCWSTR m_pszAppName;
    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
};

// The application object, registered by its constructor; null before it is built.
CWinApp* AfxGetApp();
// The module that holds the program's resources.
HINSTANCE AfxGetResourceHandle();
// The module that holds a given resource: always the program's, since it has only one.
HINSTANCE AfxFindResourceHandle(LPCWSTR name, LPCWSTR type);
