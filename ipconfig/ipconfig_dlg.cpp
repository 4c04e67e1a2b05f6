#include "ipconfig_dlg.h"

#include <algorithm>
#include <cstring>

#include "address_fields.h"
#include "device_table.h"
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
    quillmast::DeviceRow row;
    if (!m_pMainDlg->CopyDeviceRow(m_nSelRow, row))
        return false;
    std::memcpy(mac, row.mac, sizeof(mac));
    std::memcpy(ip, row.ip, sizeof(ip));
    return true;
}

void CIpConfigDlg::SetCaption(int id, const char* key) const {
    SetDlgItemText(id, m_pMainDlg->LangCaption(key));
}

void CIpConfigDlg::ShowRow(const uint8_t (&mac)[quillmast::kMacSize], const char* ip) {
    char macText[18];
    quillmast::FormatMac(mac, macText);
    SetDlgItemText(IDC_MAC_VALUE, WidenText(macText, CP_ACP));

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
    m_nSelRow = m_pMainDlg->DeviceSelectionMark();

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
    EnableDlgItem(IDOK, FALSE);
    EnableDlgItem(IDCANCEL, FALSE);
    m_busy.Start();
    m_bApplying = true;
    m_graceGiven = false;
    m_hSetIpThread = m_startWorker(SetIpThread, this, &m_setIpThreadId);
    if (!m_hSetIpThread) {
        // Nothing was sent, so this is a change that failed, and is told as one: closing quietly would
        // look as if the device had taken the address.
        m_bApplying = false;
        ::MessageBoxW(nullptr, L"Set IP fail!", L"Error", MB_ICONERROR);
        OnCancel();
        return;
    }
    // The worker's message is the quick way back; this check is the sure one, so a post that was
    // lost cannot leave the dialog with both buttons disabled.
    ::SetTimer(m_hWnd, kWorkerCheckTimer, kWorkerCheckMs, CheckWorker);
    FinishIfWorkerEnded(0);
}

HANDLE CIpConfigDlg::StartThread(LPTHREAD_START_ROUTINE proc, LPVOID param, DWORD* threadId) {
    return ::CreateThread(nullptr, 0, proc, param, 0, threadId);
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

LRESULT CIpConfigDlg::OnSetIpDone(WPARAM wParam, LPARAM) {
    m_setIpDone.Taken();
    // The worker posts as its very last step, so when its message is real the thread ends at once;
    // the short grace only covers that last moment. It is given once, and only to a message that
    // names this dialog's worker: anyone may post this number, and each wait holds up the window.
    const bool ownWorker = m_bApplying && wParam == m_setIpThreadId && !m_graceGiven;
    m_graceGiven |= ownWorker;
    FinishIfWorkerEnded(ownWorker ? kWorkerGraceMs : 0);
    return 0;
}

void CIpConfigDlg::FinishIfWorkerEnded(DWORD graceMs) {
    if (!m_bApplying)
        return;
    if (m_hSetIpThread && ::WaitForSingleObject(m_hSetIpThread, graceMs) != WAIT_OBJECT_0)
        return;
    ::KillTimer(m_hWnd, kWorkerCheckTimer);
    m_bApplying = false;
    OnCancel();
}

void CALLBACK CIpConfigDlg::CheckWorker(HWND hWnd, UINT, UINT_PTR, DWORD) {
    if (auto* dlg = dynamic_cast<CIpConfigDlg*>(CWnd::FromHandlePermanent(hWnd)))
        dlg->FinishIfWorkerEnded(0); // never holds up the window while the worker still runs
}
