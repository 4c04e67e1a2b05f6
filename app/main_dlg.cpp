#include "main_dlg.h"

#include <bitset>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "app.h"
#include "ipconfig_dlg.h"
#include "open_device_web_page.h"
#include "redraw_off.h"
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
ON_MESSAGE(kWmDpiChanged, OnDpiChanged)
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

void CMainDlg::CreateDialogFont(CFont* font) const { font->Attach(CreateLangDialogFont(m_nCountry, m_dpi)); }

std::wstring CMainDlg::LangText(const char* text) const { return LangTextToWide(text, m_nCountry); }

std::wstring CMainDlg::LangCaption(const char* key) const {
    char text[64] = {};
    LoadLangString(key, text, sizeof(text));
    return LangText(text);
}

void CMainDlg::SetCaption(int id, const char* key) { SetDlgItemText(id, LangCaption(key)); }

void CMainDlg::InsertListColumn(int col, const char* key, int format, int designWidth) {
    m_listDevices.InsertColumn(col, LangCaption(key).c_str(), format, ScaledForDpi(designWidth, m_dpi));
}

void CMainDlg::SetFontOnChildren() const {
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(m_font)), TRUE);
}

LRESULT CMainDlg::OnDpiChanged(WPARAM wParam, LPARAM lParam) {
    const UINT dpi = DpiOfDpiChanged(wParam);
    // The system's rectangle keeps the window where the user dragged it, at the new size.
    const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
    ::SetWindowPos(m_hWnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (dpi != 0 && dpi != m_dpi)
        LayOutForDpi(dpi);
    return 0;
}

void CMainDlg::LayOutForDpi(UINT dpi) {
    const UINT oldDpi = m_dpi;
    m_dpi = dpi;
    for (const auto& [child, rect] : m_templateLayout) {
        auto scaled = [this](LONG v) {
            return ::MulDiv(v, static_cast<int>(m_dpi), static_cast<int>(m_templateDpi));
        };
        const int left = scaled(rect.left), top = scaled(rect.top);
        ::MoveWindow(child, left, top, scaled(rect.right) - left, scaled(rect.bottom) - top, TRUE);
    }
    // The old font is deleted only once no child uses it any more.
    CFont old = std::move(m_font);
    CreateDialogFont(&m_font);
    SetFontOnChildren();
    old.DeleteObject();
    // Widths the user may have dragged are kept in proportion.
    const int columns = Header_GetItemCount(m_listDevices.GetHeaderCtrl());
    for (int col = 0; col < columns; ++col)
        m_listDevices.SetColumnWidth(col, ::MulDiv(m_listDevices.GetColumnWidth(col), static_cast<int>(dpi),
                                                   static_cast<int>(oldDpi)));
}

BOOL CMainDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_bChangePending.store(0, std::memory_order_relaxed);
    InitChangeIpCommandHead(m_ChangeCmd);

    m_bQuit.store(0, std::memory_order_relaxed);
    ResetDevices();
    // The table's lock exists from this object's start to its end (CCriticalSection).

    m_nCountry = static_cast<int>(GetProfileIntA("intl", "iCountry", 1));
    // The dialog manager laid the template out at the window's DPI; from here on this window lays
    // itself out again when it moves to a monitor of another DPI.
    m_dpi = m_templateDpi = WindowDpi(m_hWnd);
    TakeOverDialogDpiScaling(m_hWnd);
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT rect{};
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        m_templateLayout.emplace_back(child, rect);
    }
    CreateDialogFont(&m_font);
    SetFontOnChildren();

    SetCaption(IDOK, "ID_EXIT");
    SetCaption(IDC_REFRESH, "ID_REFLASH");
    SetCaption(IDC_CONFIG, "ID_SET_IP");
    EnableDlgItem(IDC_CONFIG, FALSE);
    SetCaption(IDC_WEB, "ID_WEB");
    EnableDlgItem(IDC_WEB, FALSE);

    m_listDevices.SetExtendedStyle(m_listDevices.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    m_listDevices.SetBkColor(0);
    m_listDevices.SetTextBkColor(0);
    m_listDevices.SetTextColor(0x00FFFFFF);
    InsertListColumn(0, "ID_ITEM_STR", LVCFMT_CENTER, 80);
    InsertListColumn(1, "ID_IP_STR", LVCFMT_CENTER, 180);
    InsertListColumn(2, "ID_MAC_STR", LVCFMT_LEFT, 190);

    m_hDiscoveryWnd = m_hWnd;
    m_winsock.Start(MAKEWORD(2, 2), &m_wsaData);
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
        EnableDlgItem(IDC_CONFIG, TRUE);
        EnableDlgItem(IDC_WEB, TRUE);
    }
    *pResult = 0;
}

void CMainDlg::OnRefresh() {
    CriticalSectionLock lock(m_csDevices);
    ResetDevices();
    m_listDevices.DeleteAllItems();
    EnableDlgItem(IDC_CONFIG, FALSE);
    EnableDlgItem(IDC_WEB, FALSE);
}

void CMainDlg::OnWeb() { OpenDeviceWebPage(*this, m_listDevices); }

LRESULT CMainDlg::OnDevicesChanged(WPARAM, LPARAM) {
    // Taken before the pass, so a change the receiver makes during it posts a new message.
    m_devicesChanged.Taken();
    SyncListWithTableOrRetry();
    return 0;
}

void CMainDlg::SyncListWithTableOrRetry() {
    // A pass that fails (a text that cannot be allocated) leaves the list behind the table; it is
    // tried again shortly instead of waiting for a device to change.
    try {
        SyncListWithTable();
    } catch (...) {
        ::SetTimer(m_hWnd, kRetrySyncTimer, kRetrySyncDelayMs, RetrySync);
    }
}

namespace {

// What the list needs of the table for one pass, copied under the lock so the list calls, which are
// slow under load, run without it and the receiver is never kept waiting on the window.
struct TableSnapshot {
    int count = 0;
    std::bitset<MAX_DEVICES> ipChanged;
    char ip[MAX_DEVICES][kIpTextSize];
    uint8_t mac[MAX_DEVICES][kMacSize];
};

} // namespace

void CMainDlg::SyncListWithTable() {
    TableSnapshot snap;
    int listed = m_listDevices.GetItemCount();
    {
        CriticalSectionLock lock(m_csDevices);
        snap.count = m_nDeviceCount;
        snap.ipChanged = m_ipChangedRows;
        m_ipChangedRows.reset();
        for (int row = 0; row < snap.count; ++row) {
            if (row >= listed || snap.ipChanged.test(static_cast<size_t>(row)))
                std::memcpy(snap.ip[row], m_DeviceIp[row], kIpTextSize);
            if (row >= listed)
                std::memcpy(snap.mac[row], m_DeviceMac[row], kMacSize);
        }
    }
    // Rows are only appended between resets, and the reset runs on this thread and empties the
    // list itself, so a list longer than the table can only mean a pass that went wrong.
    if (listed > snap.count) {
        m_listDevices.DeleteAllItems();
        listed = 0;
    }
    if (listed == snap.count && snap.ipChanged.none())
        return;
    bool refused = false, unfinished = false;
    try {
        // Hundreds of rows can arrive in one pass; repainting after each insert would keep the window
        // from answering for seconds.
        CRedrawOff quiet(m_listDevices);
        for (int row = 0; row < listed; ++row)
            if (snap.ipChanged.test(static_cast<size_t>(row)))
                m_listDevices.SetItemText(row, 1, LangText(snap.ip[row]).c_str());
        // Inserting is slow when the system is busy (a flood keeps Wine's server at work on every list
        // call): a pass stops after its time budget and the rest follows in the next one.
        const auto passEnds = std::chrono::steady_clock::now() + kSyncPassBudget;
        for (int row = listed; row < snap.count && !refused; ++row) {
            if (row > listed && std::chrono::steady_clock::now() >= passEnds) {
                unfinished = true;
                break;
            }
            // The texts first: a row is inserted whole or not at all.
            char mac[18];
            FormatMac(snap.mac[row], mac);
            const std::wstring ipText = LangText(snap.ip[row]), macText = WidenText(mac, CP_ACP);
            wchar_t number[16];
            std::swprintf(number, std::size(number), L"%d", row + 1);
            if (m_listDevices.InsertItem(row, number) != row) {
                refused = true;
                break;
            }
            m_listDevices.SetItemText(row, 1, ipText.c_str());
            m_listDevices.SetItemText(row, 2, macText.c_str());
        }
    } catch (...) {
        // The next pass rewrites the addresses this one may not have reached.
        CriticalSectionLock lock(m_csDevices);
        m_ipChangedRows |= snap.ipChanged;
        throw;
    }
    // The rest of an unfinished pass follows on a timer, not a posted message: posted messages are
    // taken before input and painting, so a catch-up of hundreds of rows would hold up a click on
    // Refresh until its end. A row the list refused is tried again a little later, without waiting
    // for a device to change.
    if (unfinished)
        ::SetTimer(m_hWnd, kRetrySyncTimer, kContinueSyncDelayMs, RetrySync);
    else if (refused)
        ::SetTimer(m_hWnd, kRetrySyncTimer, kRetrySyncDelayMs, RetrySync);
}

void CALLBACK CMainDlg::RetrySync(HWND hWnd, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(hWnd, id);
    // Called by the system's message dispatch, which no exception may reach.
    if (auto* dlg = dynamic_cast<CMainDlg*>(CWnd::FromHandlePermanent(hWnd)))
        dlg->SyncListWithTableOrRetry();
}

void CMainDlg::StopThread(CHandle& thread, DWORD timeout) {
    if (!thread)
        return;
    if (::WaitForSingleObject(thread, timeout) != WAIT_OBJECT_0)
        ::TerminateThread(thread, 9000);
    thread.Close();
}

void CMainDlg::OnOK() {
    m_bQuit.store(1, std::memory_order_release);
    StopThread(m_hRecvThread, 9000);
    StopThread(m_hSendThread, 9000);
    CloseMulticastSend();
    CloseMulticastReceive();
    // The table's lock and the socket layer are released with this object, after the dialog ends.
    CDialog::OnOK();
}

void CMainDlg::StopDiscoveryAfterCancel() {
    if (!m_hRecvThread && !m_hSendThread)
        return;
    // The window has closed already; the threads still hold this object. Closing the receiving
    // socket ends its wait at once, so both see the flag within about 100 ms.
    m_bQuit.store(1, std::memory_order_release);
    CloseMulticastReceive();
    StopThread(m_hRecvThread, 2000);
    StopThread(m_hSendThread, 2000);
    CloseMulticastSend();
}
