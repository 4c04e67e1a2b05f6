#pragma once
// Runs the IP Config dialog modally on a user-interface thread of its own, as the main window would,
// with the real CMainDlg object as its main window: only the table, the lock, the language and a
// device list are set up, and the window's own start-up (sockets, threads) never runs. The test
// drives the dialog from outside its modal loop.
#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <windows.h>

#include "address_fields.h"
#include "ipconfig_dlg.h"
#include "main_dlg.h"

namespace test {

class IpConfigRun {
  public:
    // A device list of `listItems` rows with the selection mark at `mark`, then the dialog. Returns
    // once the dialog is shown or has ended.
    IpConfigRun(CMainDlg& owner, int listItems, int mark);
    // Ends a dialog a failed test left open (dismissing a failure box, confirming a pending change).
    ~IpConfigRun();
    IpConfigRun(const IpConfigRun&) = delete;
    IpConfigRun& operator=(const IpConfigRun&) = delete;

    HWND Window() const { return m_hWnd; }
    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }
    std::wstring Text(int id) const;
    // Valid while the dialog runs.
    const CIpConfigDlg& Dialog() const { return *m_dlg; }

    // The control's four fields, and how many of them are not blank.
    quillmast::AddressFields Address(int* filled = nullptr) const;
    void SetAddress(uint8_t f0, uint8_t f1, uint8_t f2, uint8_t f3) const;
    // The edit windows of the four fields, as the control itself names them (each is given the focus
    // by field number in turn); the focus then goes to the OK button, where a click would leave it.
    std::array<HWND, 4> FieldWindows() const;
    // Empties one field (a window of FieldWindows()), as a user deleting its digits.
    static void ClearField(HWND field);
    // The window with the focus on the dialog's thread.
    HWND Focus() const;
    void Press(int id) const;
    // Sends the click: returns once the dialog has handled it (when it opens no box of its own).
    void PressAndWait(int id) const;
    void PressEscape() const;

    bool Ended() const { return m_ended.load(); }
    bool WaitEnded(std::chrono::milliseconds timeout) const;
    // Known once the dialog has ended.
    INT_PTR Result() const { return m_result; }
    bool WorkerStarted() const { return m_workerStarted; }
    bool AnimationRanAtEnd() const { return m_animationRanAtEnd; }

  private:
    CMainDlg& m_owner;
    std::thread m_thread;
    DWORD m_uiThreadId = 0;
    std::atomic<CIpConfigDlg*> m_dlg{nullptr};
    HWND m_hWnd = nullptr;
    std::atomic<bool> m_ended{false};
    INT_PTR m_result = 0;
    bool m_workerStarted = false;
    bool m_animationRanAtEnd = false;
};

// The top-level "#32770" window of this process with this caption, or null.
HWND FindOwnDialog(const wchar_t* caption);

} // namespace test
