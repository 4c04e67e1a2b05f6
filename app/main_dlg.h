#pragma once
// The main window: the device list with its Config, WEB, Refresh and Exit buttons. It owns the
// discovery sockets, threads and table (through DiscoveryState) for the whole run.
#include <chrono>
#include <utility>
#include <vector>

#include "dialog.h"
#include "discovery_state.h"
#include "dpi.h"
#include "gdi.h"
#include "ip_config_host.h"
#include "my_list_ctrl.h"

class CMainDlg : public CDialog, public DiscoveryState, public IpConfigHost {
  public:
    explicit CMainDlg(CWnd* pParent = nullptr);
    ~CMainDlg() override;

    // Language table lookups for this window and the dialogs it opens.
    HRSRC FindLangResource(HINSTANCE module) const;
    BOOL LoadLangString(const char* key, char* buffer, int capacity) const;
    void CreateDialogFont(CFont* font) const;
    // An 8-bit text of the active language as UTF-16 for the wide window functions.
    std::wstring LangText(const char* text) const;

    // What the IP Config dialog and its worker use of this window.
    int DeviceSelectionMark() const override { return m_listDevices.GetSelectionMark(); }
    bool CopyDeviceRow(int row, quillmast::DeviceRow& out) override {
        return DiscoveryState::CopyDeviceRow(row, out);
    }
    void QueueChangeIp(const uint8_t (&mac)[quillmast::kMacSize], const char* address) override {
        DiscoveryState::QueueChangeIp(mac, address);
    }
    bool ChangeIpPending() const override { return DiscoveryState::ChangeIpPending(); }
    bool WithdrawChangeIp() override { return DiscoveryState::WithdrawChangeIp(); }
    std::wstring LangCaption(const char* key) const override;

    int m_nCountry = 1;
    // The DPI the window is laid out for: its monitor's, followed on WM_DPICHANGED.
    UINT m_dpi = kDesignDpi;
    CFont m_font;
    CMyListCtrl m_listDevices;
    HICON m_hIcon;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnConfig();
    void OnClickDeviceList(NMHDR* pNMHDR, LRESULT* pResult);
    void OnRefresh();
    void OnDblclkDeviceList(NMHDR* pNMHDR, LRESULT* pResult);
    void OnWeb();
    LRESULT OnDevicesChanged(WPARAM, LPARAM);
    LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

  private:
    void SetCaption(int id, const char* key);
    // `designWidth` is in pixels at 96 DPI.
    void InsertListColumn(int col, const char* key, int format, int designWidth);
    void SetFontOnChildren() const;
    // Moves and sizes the children, the font and the columns for `dpi`.
    void LayOutForDpi(UINT dpi);
    // Every child's rectangle as the dialog manager made it, at m_templateDpi: a later layout is scaled
    // from these, so moving between monitors never accumulates rounding.
    std::vector<std::pair<HWND, RECT>> m_templateLayout;
    UINT m_templateDpi = kDesignDpi;
    // Brings the list in step with the table: new rows appended, changed IP texts rewritten.
    void SyncListWithTable();
    void SyncListWithTableOrRetry();
    static void CALLBACK RetrySync(HWND hWnd, UINT, UINT_PTR id, DWORD);
    static constexpr UINT_PTR kRetrySyncTimer = 1;
    static constexpr UINT kRetrySyncDelayMs = 100;
    static constexpr UINT kContinueSyncDelayMs = USER_TIMER_MINIMUM;
    static constexpr std::chrono::milliseconds kSyncPassBudget{40};
    // Waits for a discovery thread, terminating it (exit code 9000) if it has not ended in time.
    static void StopThread(CHandle& thread, DWORD timeout);
    // After the cancel path: stops the threads before this object goes away.
    void StopDiscoveryAfterCancel();
};
