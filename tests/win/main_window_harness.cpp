#include "main_window_harness.h"

#include <ws2tcpip.h>
#include <commctrl.h>

#include "resource.h"

namespace test {

MainWindowRun::MainWindowRun() {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_LISTVIEW_CLASSES | ICC_INTERNET_CLASSES | ICC_STANDARD_CLASSES;
    ::InitCommonControlsEx(&icc);
    m_thread = std::thread([this] {
        std::optional<CMainDlg> dlg;
        dlg.emplace();
        m_dlg = &*dlg;
        m_uiThreadId = ::GetCurrentThreadId();
        m_ready = true;
        m_result = dlg->DoModal();
        m_ended = true;
        dlg.reset();
    });
    WaitUntil([this] { return m_ready.load(); }, std::chrono::seconds(5));
    // The window exists once its list does: OnInitDialog has run by then.
    WaitUntil(
        [this] {
            HWND hWnd = ::FindWindowW(L"#32770", L"Quillmast (V2.003)");
            DWORD pid = 0;
            if (hWnd)
                ::GetWindowThreadProcessId(hWnd, &pid);
            if (hWnd && pid == ::GetCurrentProcessId() && ::IsWindowVisible(hWnd))
                m_hWnd = hWnd;
            return m_hWnd != nullptr;
        },
        std::chrono::seconds(10));
}

MainWindowRun::~MainWindowRun() {
    if (!m_ended && m_hWnd)
        ::PostMessageW(m_hWnd, WM_COMMAND, IDCANCEL, 0);
    Join();
}

void MainWindowRun::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

HWND MainWindowRun::FocusWindow() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    ::GetGUIThreadInfo(m_uiThreadId, &info);
    return info.hwndFocus;
}

int MainWindowRun::ListRowCount() const {
    return static_cast<int>(::SendMessageW(Item(IDC_DEVICE_LIST), LVM_GETITEMCOUNT, 0, 0));
}

std::wstring MainWindowRun::ListText(int row, int column) const {
    wchar_t buffer[64] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 64;
    ::SendMessageW(Item(IDC_DEVICE_LIST), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

int MainWindowRun::TableRowCount() { return m_dlg->DeviceCountUnlocked(); }

void MainWindowRun::ClickAt(POINT pt) const {
    HWND list = Item(IDC_DEVICE_LIST);
    LPARAM at = MAKELPARAM(pt.x, pt.y);
    ::PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(list, WM_LBUTTONUP, 0, at);
}

void MainWindowRun::ClickRow(int row) const {
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    ::SendMessageW(Item(IDC_DEVICE_LIST), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
    ClickAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

void MainWindowRun::ClickBelowRows() const {
    RECT client;
    ::GetClientRect(Item(IDC_DEVICE_LIST), &client);
    ClickAt({client.right / 2, client.bottom - 5});
}

void MainWindowRun::PressButton(int id) const {
    ::PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

void MainWindowRun::PressButtonAndWait(int id) const {
    // A sent message is handled before any posted one, so a posted click followed by a sent ping
    // could still be waiting when the ping returns: the click itself is sent.
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)),
                          SMTO_NORMAL, 30000, &result);
}

void MainWindowRun::ClickButtonWithMouse(int id) const {
    RECT rect{};
    ::GetWindowRect(Item(id), &rect);
    ::SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, input, sizeof(INPUT));
}

void MainWindowRun::PressEscape() const {
    // Through the modal loop, as a key press: the dialog manager turns it into IDCANCEL.
    HWND target = FocusWindow() ? FocusWindow() : m_hWnd;
    ::PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ::PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

ReplySender::ReplySender() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    m_socket = ::socket(AF_INET, SOCK_DGRAM, 0);
}

ReplySender::~ReplySender() {
    ::closesocket(m_socket);
    ::WSACleanup();
}

void ReplySender::Raw(const std::string& bytes) const {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(5555);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(m_socket, bytes.data(), static_cast<int>(bytes.size()), 0,
             reinterpret_cast<const sockaddr*>(&to), sizeof(to));
}

void ReplySender::Reply(const std::string& ip, int id, int port) const {
    std::string bytes = ip + ":HTTP" + std::to_string(port) + ",MAC";
    bytes += std::string("\x00\x1a\x2b\x3c", 4);
    bytes += static_cast<char>(id >> 8);
    bytes += static_cast<char>(id & 0xFF);
    Raw(bytes);
}

} // namespace test
