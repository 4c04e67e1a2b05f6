#include "ipconfig_dialog_run.h"

#include <commctrl.h>

#include "device_rows.h"

namespace test {

HWND FindOwnDialog(const wchar_t* caption) {
    HWND found = nullptr;
    while ((found = ::FindWindowExW(nullptr, found, L"#32770", caption)) != nullptr) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(found, &pid);
        if (pid == ::GetCurrentProcessId())
            return found;
    }
    return nullptr;
}

IpConfigRun::IpConfigRun(CMainDlg& owner, int listItems, int mark) : m_owner(owner) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_INTERNET_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    std::atomic<bool> started{false};
    m_thread = std::thread([this, listItems, mark, &started] {
        m_uiThreadId = ::GetCurrentThreadId();
        HWND list = CreateDeviceListWindow(listItems, mark);
        m_owner.m_listDevices.SubclassWindow(list);
        {
            CIpConfigDlg dlg;
            dlg.SetMainDlg(&m_owner);
            m_dlg = &dlg;
            started = true;
            m_result = dlg.DoModal();
            m_workerStarted = dlg.m_hSetIpThread != nullptr;
            m_animationRanAtEnd = dlg.m_busy.m_pThread != nullptr || dlg.m_busy.m_bRunning.load();
            m_dlg = nullptr;
        }
        m_owner.m_listDevices.UnsubclassWindow();
        ::DestroyWindow(list);
        m_ended = true;
    });
    WaitUntil([&] { return started.load(); }, std::chrono::seconds(5));
    WaitUntil(
        [&] {
            HWND hWnd = FindOwnDialog(L"IP Config");
            if (hWnd && ::IsWindowVisible(hWnd))
                m_hWnd = hWnd;
            return m_hWnd != nullptr || m_ended.load();
        },
        std::chrono::seconds(10));
}

IpConfigRun::~IpConfigRun() {
    if (!m_ended) {
        if (HWND box = FindOwnDialog(L"Error"))
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        m_owner.m_bChangePending.store(0);
        if (m_hWnd)
            Press(IDCANCEL);
        WaitEnded(std::chrono::seconds(20));
    }
    if (m_thread.joinable())
        m_thread.join();
}

bool IpConfigRun::WaitEnded(std::chrono::milliseconds timeout) const {
    return WaitUntil([this] { return m_ended.load(); }, timeout);
}

std::wstring IpConfigRun::Text(int id) const {
    wchar_t text[128] = {};
    ::GetWindowTextW(Item(id), text, 128);
    return text;
}

quillmast::AddressFields IpConfigRun::Address(int* filled) const {
    DWORD address = 0;
    int n = static_cast<int>(
        ::SendMessageW(Item(IDC_IPADDRESS), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address)));
    if (filled)
        *filled = n;
    return {static_cast<uint8_t>(FIRST_IPADDRESS(address)), static_cast<uint8_t>(SECOND_IPADDRESS(address)),
            static_cast<uint8_t>(THIRD_IPADDRESS(address)), static_cast<uint8_t>(FOURTH_IPADDRESS(address))};
}

void IpConfigRun::SetAddress(uint8_t f0, uint8_t f1, uint8_t f2, uint8_t f3) const {
    ::SendMessageW(Item(IDC_IPADDRESS), IPM_SETADDRESS, 0, MAKEIPADDRESS(f0, f1, f2, f3));
}

std::array<HWND, 4> IpConfigRun::FieldWindows() const {
    std::array<HWND, 4> fields{};
    for (int field = 0; field < 4; ++field) {
        ::SendMessageW(Item(IDC_IPADDRESS), IPM_SETFOCUS, field, 0);
        fields[field] = Focus();
    }
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDOK)), TRUE);
    return fields;
}

void IpConfigRun::ClearField(HWND field) {
    ::SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
}

HWND IpConfigRun::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    ::GetGUIThreadInfo(m_uiThreadId, &info);
    return info.hwndFocus;
}

void IpConfigRun::Press(int id) const {
    ::PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

void IpConfigRun::PressAndWait(int id) const {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)),
                          SMTO_NORMAL, 30000, &result);
}

void IpConfigRun::PressEscape() const {
    // Through the modal loop, as a key press, which the dialog manager turns into IDCANCEL.
    HWND focus = Focus();
    HWND target = focus ? focus : m_hWnd;
    ::PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ::PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

} // namespace test
