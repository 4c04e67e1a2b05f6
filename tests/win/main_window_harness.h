#pragma once
// Runs the real main window on its own user-interface thread, as the program does, so a test can
// drive it from outside the modal loop and look at its state. Replies are sent to the window's
// receiving port over the lab host's loopback.
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include <winsock2.h>
#include <windows.h>

#include "main_dlg.h"
#include "wait_until.h"

namespace test {

using Clock = std::chrono::steady_clock;

class MainWindowRun {
  public:
    MainWindowRun();
    ~MainWindowRun();
    MainWindowRun(const MainWindowRun&) = delete;
    MainWindowRun& operator=(const MainWindowRun&) = delete;

    CMainDlg& Dialog() { return *m_dlg; }
    HWND Window() const { return m_hWnd; }
    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }
    DWORD UiThreadId() const { return m_uiThreadId; }
    HWND FocusWindow() const;

    // Rows as the list shows them, read on the window's thread.
    int ListRowCount() const;
    std::wstring ListText(int row, int column) const;
    int TableRowCount();

    void ClickRow(int row) const;
    void ClickBelowRows() const;
    // Posts the click, as a user's arrives: the test must wait for its effect.
    void PressButton(int id) const;
    // Sends the click: returns once the window has handled it (for buttons that open no dialog).
    void PressButtonAndWait(int id) const;
    // A real mouse click at the button's centre, through the system's input queue.
    void ClickButtonWithMouse(int id) const;
    void PressEscape() const;

    // Waits for the modal loop to end; returns false on time-out.
    bool WaitEnded(std::chrono::milliseconds timeout) {
        return WaitUntil([this] { return m_ended.load(); }, timeout);
    }
    INT_PTR Result() const { return m_result; }
    // Joins the window's thread: the dialog object has been destroyed after this.
    void Join();

  private:
    void ClickAt(POINT pt) const;
    std::thread m_thread;
    std::optional<CMainDlg>* m_slot = nullptr;
    CMainDlg* m_dlg = nullptr;
    HWND m_hWnd = nullptr;
    DWORD m_uiThreadId = 0;
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_ended{false};
    INT_PTR m_result = 0;
};

// Sets the desktop's country code for one test and puts the old one back afterwards.
class CountryScope {
  public:
    explicit CountryScope(int country) : m_old(static_cast<int>(::GetProfileIntA("intl", "iCountry", 1))) {
        ::WriteProfileStringA("intl", "iCountry", std::to_string(country).c_str());
    }
    ~CountryScope() { ::WriteProfileStringA("intl", "iCountry", std::to_string(m_old).c_str()); }
    CountryScope(const CountryScope&) = delete;
    CountryScope& operator=(const CountryScope&) = delete;

  private:
    int m_old;
};

// Sends device replies to the window's receiving port on this host.
class ReplySender {
  public:
    ReplySender();
    ~ReplySender();
    ReplySender(const ReplySender&) = delete;
    ReplySender& operator=(const ReplySender&) = delete;

    // "<ip>:HTTP<port>,MAC" and the MAC 00 1a 2b 3c <id high> <id low>.
    void Reply(const std::string& ip, int id, int port = 80) const;
    void Raw(const std::string& bytes) const;

  private:
    SOCKET m_socket;
};

} // namespace test
