#include "main_dlg.h"

#include <cstdio>
#include <cstring>

#include "app.h"
#include "ipconfig_dlg.h"
#include "open_device_web_page.h"
#include "lang/dialog_font.h"
#include "lang/lang_resource.h"
#include "lang/lang_text.h"
#include "lock.h"
#include "resource.h"
#include "text.h"

using namespace quillmast;

BEGIN_MESSAGE_MAP(CMainDlg, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_CONFIG, OnConfig)
ON_NOTIFY(NM_CLICK, IDC_DEVICE_LIST, OnClickDeviceList)
ON_BN_CLICKED(IDC_REFRESH, OnRefresh)
ON_NOTIFY(NM_DBLCLK, IDC_DEVICE_LIST, OnDblclkDeviceList)
ON_BN_CLICKED(IDC_WEB, OnWeb)
ON_MESSAGE(WM_DEVICES_CHANGED, OnDevicesChanged)
END_MESSAGE_MAP()

CMainDlg::CMainDlg(CWnd* pParent)
    : CDialog(IDD_MAIN_DIALOG, pParent),
      m_hIcon(::LoadIconW(AfxFindResourceHandle(MAKEINTRESOURCEW(IDR_MAINFRAME), RT_GROUP_ICON),
                          MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

CMainDlg::~CMainDlg() { StopDiscoveryAfterCancel(); }

void CMainDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DEVICE_LIST, m_listDevices);
}

HRSRC CMainDlg::FindLangResource(HINSTANCE module) const { return FindLangTableResource(module, m_nCountry); }

BOOL CMainDlg::LoadLangString(const char* key, char* buffer, int capacity) const {
    return LoadLangStringFrom(AfxGetResourceHandle(), m_nCountry, key, buffer, capacity);
}

void CMainDlg::CreateDialogFont(CFont* font) const { font->Attach(CreateLangDialogFont(m_nCountry)); }

std::wstring CMainDlg::LangText(const char* text) const { return LangTextToWide(text, m_nCountry); }

void CMainDlg::SetCaption(int id, const char* key) {
    char text[64];
    LoadLangString(key, text, sizeof(text));
    ::SetWindowTextW(GetDlgItem(id), LangText(text).c_str());
}

void CMainDlg::InsertListColumn(int col, const char* key, int format, int width) {
    char text[64];
    LoadLangString(key, text, sizeof(text));
    m_listDevices.InsertColumn(col, LangText(text).c_str(), format, width);
}

BOOL CMainDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_bChangePending.store(0, std::memory_order_relaxed);
    InitChangeIpCommandHead(m_ChangeCmd);

    m_sockSend = 0;
    m_bQuit.store(0, std::memory_order_relaxed);
    ResetDevices();

    InitializeCriticalSection(&m_csDevices);
    m_bCsInitialized = true;

    m_nCountry = static_cast<int>(GetProfileIntA("intl", "iCountry", 1));
    CreateDialogFont(&m_font);
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(m_font)), TRUE);

    SetCaption(IDOK, "ID_EXIT");
    SetCaption(IDC_REFRESH, "ID_REFLASH");
    SetCaption(IDC_CONFIG, "ID_SET_IP");
    ::EnableWindow(GetDlgItem(IDC_CONFIG), FALSE);
    SetCaption(IDC_WEB, "ID_WEB");
    ::EnableWindow(GetDlgItem(IDC_WEB), FALSE);

    m_listDevices.SetExtendedStyle(m_listDevices.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    m_listDevices.SetBkColor(0);
    m_listDevices.SetTextBkColor(0);
    m_listDevices.SetTextColor(0x00FFFFFF);
    InsertListColumn(0, "ID_ITEM_STR", LVCFMT_CENTER, 80);
    InsertListColumn(1, "ID_IP_STR", LVCFMT_CENTER, 180);
    InsertListColumn(2, "ID_MAC_STR", LVCFMT_LEFT, 190);

    m_hDiscoveryWnd = m_hWnd;
    WSAStartup(MAKEWORD(2, 2), &m_wsaData);
    ConnectMulticastReceive();
    ConnectMulticastSend();
    DiscoveryState* state = this;
    m_hSendThread = ::CreateThread(nullptr, 0, SearchThread, state, 0, nullptr);
    m_hRecvThread = ::CreateThread(nullptr, 0, ReceiveThread, state, 0, nullptr);
    return TRUE;
}

void CMainDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int cx = ::GetSystemMetrics(SM_CXICON);
    int cy = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    int x = (rect.right - rect.left - cx + 1) / 2;
    int y = (rect.bottom - rect.top - cy + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
}

HCURSOR CMainDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CMainDlg::OnConfig() {
    if (m_listDevices.GetSelectionMark() == -1)
        return;
    // No parent: the dialog is owned by the application's main window, this one.
    CIpConfigDlg dlg;
    dlg.SetMainDlg(this);
    dlg.DoModal();
}

void CMainDlg::OnDblclkDeviceList(NMHDR*, LRESULT* pResult) {
    OnConfig();
    *pResult = 0;
}

void CMainDlg::OnClickDeviceList(NMHDR*, LRESULT* pResult) {
    if (m_listDevices.GetSelectionMark() >= 0) {
        ::EnableWindow(GetDlgItem(IDC_CONFIG), TRUE);
        ::EnableWindow(GetDlgItem(IDC_WEB), TRUE);
    }
    *pResult = 0;
}

void CMainDlg::OnRefresh() {
    CriticalSectionLock lock(m_csDevices);
    ResetDevices();
    m_listDevices.DeleteAllItems();
    ::EnableWindow(GetDlgItem(IDC_CONFIG), FALSE);
    ::EnableWindow(GetDlgItem(IDC_WEB), FALSE);
}

void CMainDlg::OnWeb() { OpenDeviceWebPage(*this, m_listDevices); }

LRESULT CMainDlg::OnDevicesChanged(WPARAM, LPARAM) {
    // Cleared before the pass, so a change the receiver makes during it posts a new message.
    m_bSyncPosted.store(false, std::memory_order_release);
    SyncListWithTable();
    return 0;
}

void CMainDlg::SyncListWithTable() {
    // The list belongs to this thread and the receiver never waits for a window while it holds the
    // lock, so holding it across the list calls cannot deadlock.
    CriticalSectionLock lock(m_csDevices);
    int listed = m_listDevices.GetItemCount();
    if (listed > m_nDeviceCount) {
        m_listDevices.DeleteAllItems();
        listed = 0;
    }
    for (int row = 0; row < listed; ++row)
        if (m_ipChangedRows.test(static_cast<size_t>(row)))
            m_listDevices.SetItemText(row, 1, LangText(m_DeviceIp[row]).c_str());
    for (int row = listed; row < m_nDeviceCount; ++row) {
        wchar_t number[16];
        std::swprintf(number, std::size(number), L"%d", row + 1);
        // A row the list refuses is tried again at the next change.
        if (m_listDevices.InsertItem(row, number) != row)
            break;
        char mac[18];
        FormatMac(m_DeviceMac[row], mac);
        m_listDevices.SetItemText(row, 1, LangText(m_DeviceIp[row]).c_str());
        m_listDevices.SetItemText(row, 2, WidenText(mac, CP_ACP).c_str());
    }
    m_ipChangedRows.reset();
}

void CMainDlg::StopThread(HANDLE& thread, DWORD timeout) {
    if (thread == nullptr)
        return;
    if (::WaitForSingleObject(thread, timeout) != WAIT_OBJECT_0)
        ::TerminateThread(thread, 9000);
    ::CloseHandle(thread);
    thread = nullptr;
}

void CMainDlg::OnOK() {
    m_bQuit.store(1, std::memory_order_release);
    StopThread(m_hRecvThread, 9000);
    StopThread(m_hSendThread, 9000);
    CloseMulticastSend();
    CloseMulticastReceive();
    DeleteCriticalSection(&m_csDevices);
    m_bCsInitialized = false;
    CDialog::OnOK();
}

void CMainDlg::StopDiscoveryAfterCancel() {
    if (m_hRecvThread == nullptr && m_hSendThread == nullptr && !m_bCsInitialized)
        return;
    // The window has closed already; the threads still hold this object. Closing the receiving
    // socket ends its wait at once, so both see the flag within about 100 ms.
    m_bQuit.store(1, std::memory_order_release);
    closesocket(m_sockRecv);
    StopThread(m_hRecvThread, 2000);
    StopThread(m_hSendThread, 2000);
    closesocket(m_sockSend);
    if (m_bCsInitialized)
        DeleteCriticalSection(&m_csDevices);
    m_bCsInitialized = false;
}
