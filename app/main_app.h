#pragma once
#include "app.h"

// The application object: runs the main window modally and ends the program when it closes.
class CMainApp : public CWinApp {
  public:
    CMainApp() : CWinApp(nullptr) {}
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
