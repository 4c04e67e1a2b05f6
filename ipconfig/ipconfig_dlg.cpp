#include "ipconfig_dlg.h"

#include <algorithm>
#include <cstring>

#include "address_fields.h"
#include "device_table.h"
#include "lock.h"
#include "main_dlg.h"
#include "set_ip_thread.h"
#include "text.h"

namespace {
constexpr int kBusyBlocks = 10;
constexpr int kBusyIntervalMs = 100;
} // namespace

BEGIN_MESSAGE_MAP(CIpConfigDlg, CDialog)
ON_NOTIFY(IPN_FIELDCHANGED, IDC_IPADDRESS, OnIpFieldChanged)
ON_MESSAGE(WM_SETIP_DONE, OnSetIpDone)
END_MESSAGE_MAP()

CIpConfigDlg::CIpConfigDlg(CWnd* pParent) : CDialog(IDD, pParent), m_busy(kBusyBlocks, 0) {}

void CIpConfigDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_IPADDRESS, m_ipAddr);
    DDX_Control(pDX, IDC_BUSY, m_busy);
}

bool CIpConfigDlg::CopySelectedRow(uint8_t (&mac)[quillmast::kMacSize],
                                   char (&ip)[quillmast::kIpTextSize]) const {
    // The receiver never waits for a window while it holds the lock, so this cannot deadlock.
    CriticalSectionLock lock(m_pMainDlg->m_csDevices);
    // A mark past the rows in use (a stale one) names no device: its row holds nothing to change.
    if (m_nSelRow < 0 || m_nSelRow >= m_pMainDlg->m_nDeviceCount)
        return false;
    std::memcpy(mac, m_pMainDlg->m_DeviceMac[m_nSelRow], sizeof(mac));
    std::memcpy(ip, m_pMainDlg->m_DeviceIp[m_nSelRow], sizeof(ip));
    ip[sizeof(ip) - 1] = '\0';
    return true;
}

void CIpConfigDlg::SetCaption(int id, const char* key) const {
    char text[64] = {};
    m_pMainDlg->LoadLangString(key, text, sizeof(text));
    ::SetWindowTextW(GetDlgItem(id), m_pMainDlg->LangText(text).c_str());
}

void CIpConfigDlg::ShowRow(const uint8_t (&mac)[quillmast::kMacSize], const char* ip) {
    char macText[18];
    quillmast::FormatMac(mac, macText);
    ::SetWindowTextW(GetDlgItem(IDC_MAC_VALUE), WidenText(macText, CP_ACP).c_str());

    SetCaption(IDC_MAC_LABEL, "ID_MAC_STR");
    SetCaption(IDOK, "ID_OK_STR");
    SetCaption(IDCANCEL, "ID_CANCEL_STR");

    // A text with fewer than four numbers leaves the missing fields 0. The ranges go first: the
    // control ignores a field value outside its range, so a row text starting with 0 or with a
    // number above 223 leaves field 0 blank.
    const quillmast::AddressFields fields = quillmast::SplitAddressText(ip);
    m_ipAddr.SetFieldRange(0, 1, 223);
    for (int field = 1; field < 4; ++field)
        m_ipAddr.SetFieldRange(field, 0, 255);
    m_ipAddr.SetAddress(fields[0], fields[1], fields[2], fields[3]);
}

void CIpConfigDlg::SetUpBusyIndicator() {
    m_busy.m_nBlocks = kBusyBlocks;
    m_busy.RecalcLayout();
    m_busy.m_nInterval = kBusyIntervalMs;
    m_busy.m_nMin = -100;
    m_busy.m_nMax = 100;
    m_busy.RecalcLayout();
    m_busy.Reset();
    // No block lit until OK starts the animation.
    m_busy.m_nPos = -1;
    m_busy.InvalidateRect(nullptr, TRUE);
}

BOOL CIpConfigDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_hSetIpThread = nullptr;
    m_nSelRow = m_pMainDlg->m_listDevices.GetSelectionMark();

    uint8_t mac[quillmast::kMacSize];
    char ip[quillmast::kIpTextSize];
    if (!CopySelectedRow(mac, ip)) {
        // Treated as no selection: the dialog ends before it is ever shown.
        CDialog::OnCancel();
        return TRUE;
    }
    ShowRow(mac, ip);
    SetUpBusyIndicator();
    return TRUE;
}

void CIpConfigDlg::OnOK() {
    // Enter comes here too, even with the button disabled: one worker per dialog.
    if (m_bApplying)
        return;
    // A blank field would go out as 0 (10.0.0.0, say, or 0.0.0.0 with every field cleared), and a
    // device that took that address could no longer be reached. So nothing is sent and nothing starts
    // until all four fields hold a number; the first blank one gets the focus, to show what is missing.
    if (!m_ipAddr.IsComplete()) {
        m_ipAddr.SetFieldFocus(std::max(m_ipAddr.FirstBlankField(), 0));
        return;
    }
    ::EnableWindow(GetDlgItem(IDOK), FALSE);
    ::EnableWindow(GetDlgItem(IDCANCEL), FALSE);
    m_busy.Start();
    m_bApplying = true;
    m_hSetIpThread = ::CreateThread(nullptr, 0, SetIpThread, this, 0, nullptr);
    // Without a worker nobody would ever report back, and the dialog could not be closed.
    if (m_hSetIpThread == nullptr)
        PostMessage(WM_SETIP_DONE);
}

void CIpConfigDlg::OnCancel() {
    // Escape while the worker runs is ignored (the Cancel button is disabled then): the worker uses
    // this object until it posts WM_SETIP_DONE, which closes the dialog through here.
    if (m_bApplying)
        return;
    m_busy.Reset();
    m_busy.Stop();
    CDialog::OnCancel();
}

void CIpConfigDlg::OnIpFieldChanged(NMHDR*, LRESULT* pResult) { *pResult = 0; }

LRESULT CIpConfigDlg::OnSetIpDone(WPARAM, LPARAM) {
    // The worker touches nothing after posting, so its handle is not waited on.
    if (m_hSetIpThread != nullptr)
        ::CloseHandle(m_hSetIpThread);
    m_bApplying = false;
    OnCancel();
    return 0;
}
