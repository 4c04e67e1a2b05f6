#include "app.h"

#include <commctrl.h>

namespace {
// The single instance. Set once by the constructor of the global application object.
CWinApp* g_app = nullptr;
} // namespace

CWinApp::CWinApp(LPCWSTR appName) : m_pszAppName(appName) { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

int CWinApp::Run() {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return ExitInstance();
}

CWinApp* AfxGetApp() { return g_app; }

HINSTANCE AfxGetResourceHandle() { return ::GetModuleHandleW(nullptr); }

HINSTANCE AfxFindResourceHandle(LPCWSTR, LPCWSTR) { return AfxGetResourceHandle(); }

// The entry point of every program built on this layer.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_INTERNET_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return 1;
    app->m_hInstance = hInstance;
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}
