#pragma once
// The modal "IP Config" dialog: shows the MAC and the address of the device at the main window's
// selection mark and, on OK, hands the address typed to SetIpThread, which queues the change-IP
// command and waits for the device to confirm it. The dialog then closes by itself.
#include <cstdint>

#include "busy_progress_ctrl.h"
#include "dialog.h"
#include "handle.h"
#include "ip_config_host.h"
#include "ipaddressctrl.h"
#include "posted_result.h"
#include "resource.h"
#include "wire_protocol.h"

// Posted (never sent) by SetIpThread to the dialog when it is done, on every path. wParam is the
// worker's thread id, lParam 0.
inline constexpr UINT WM_SETIP_DONE = WM_USER + 100;

class CIpConfigDlg : public CDialog {
  public:
    enum { IDD = IDD_IPCONFIG_DIALOG };

    explicit CIpConfigDlg(CWnd* pParent = nullptr);

    // The window that opens the dialog; to be set before DoModal. DoModal always returns IDCANCEL.
    void SetMainDlg(IpConfigHost* pMainDlg) { m_pMainDlg = pMainDlg; }

    // A whole copy of row m_nSelRow, taken under the table's lock so that a reply rewriting the row's
    // address text is never seen half-written. False when the row is not in use.
    bool CopySelectedRow(uint8_t (&mac)[quillmast::kMacSize], char (&ip)[quillmast::kIpTextSize]) const;

    IpConfigHost* m_pMainDlg = nullptr; // not owned
    CIPAddressCtrl m_ipAddr;
    int m_nSelRow = -1; // the table row being changed, which is also its list row
    CBusyProgressCtrl m_busy;
    // Empty until OK; then the worker, whose handle the dialog keeps until it goes.
    CHandle m_hSetIpThread;
    // WM_SETIP_DONE, posted by the worker as the last thing it does.
    CPostedResult m_setIpDone;
    // How OK starts the worker: CreateThread. Tests put a starter here that fails.
    HANDLE (*m_startWorker)(LPTHREAD_START_ROUTINE proc, LPVOID param, DWORD* threadId) = StartThread;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnIpFieldChanged(NMHDR* pNMHDR, LRESULT* pResult);
    LRESULT OnSetIpDone(WPARAM, LPARAM);

    DECLARE_MESSAGE_MAP()

  private:
    // Ends the wait for the worker once it has ended, whichever way the dialog learnt of it (its
    // message, or the check that covers a message that was never delivered). A WM_SETIP_DONE from
    // anywhere else while the worker still runs changes nothing. Waits at most `graceMs` for the end.
    void FinishIfWorkerEnded(DWORD graceMs);
    static void CALLBACK CheckWorker(HWND hWnd, UINT, UINT_PTR id, DWORD);
    static constexpr UINT_PTR kWorkerCheckTimer = 1;
    static constexpr UINT kWorkerCheckMs = 500;
    static constexpr DWORD kWorkerGraceMs = 200;
    static HANDLE StartThread(LPTHREAD_START_ROUTINE proc, LPVOID param, DWORD* threadId);
    void SetCaption(int id, const char* key) const;
    void ShowRow(const uint8_t (&mac)[quillmast::kMacSize], const char* ip);
    void SetUpBusyIndicator();

    // From OK until WM_SETIP_DONE the worker uses this object, so the dialog must not end then.
    bool m_bApplying = false;
    DWORD m_setIpThreadId = 0;
    bool m_graceGiven = false;
};
