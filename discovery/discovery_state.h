#pragma once
// What the main window owns for discovery: the two sockets, the two threads, the flags they poll,
// the pending change-IP command and the device table with its lock. The window derives from it,
// so the threads are given the window object itself.
#include <atomic>
#include <cstdint>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "device_table.h"
#include "wire_protocol.h"

// Posted by the receiver to the window after it changed the table; the window then brings the list
// in step under the table's lock. wParam and lParam are 0.
inline constexpr UINT WM_DEVICES_CHANGED = WM_USER + 101;

class DiscoveryState : public quillmast::DeviceTable {
  public:
    WSADATA m_wsaData{};
    SOCKET m_sockRecv = 0;
    fd_set m_fdRecv{};
    std::atomic<int32_t> m_bQuit{0};
    CRITICAL_SECTION m_csDevices{};
    HANDLE m_hRecvThread = nullptr;
    SOCKET m_sockSend = 0;
    HANDLE m_hSendThread = nullptr;
    std::atomic<uint8_t> m_bChangePending{0};
    uint8_t m_ChangeCmd[quillmast::kChangeIpCommandSize] = {};

    // Where set-up failures are shown and table changes are announced.
    HWND m_hDiscoveryWnd = nullptr;
    // Set by the receiver when it posts WM_DEVICES_CHANGED, cleared by the window before it syncs,
    // so a burst of replies leaves one message in the queue, not hundreds.
    std::atomic<bool> m_bSyncPosted{false};

    DiscoveryState() : quillmast::DeviceTable() {}

    int ConnectMulticastReceive();
    int ConnectMulticastSend();
    int CloseMulticastReceive();
    int CloseMulticastSend();

    // The receiver's side of a turn: applies parsed replies under one hold of the lock (true when
    // the table changed). Never calls into a window while it holds the lock.
    bool ApplyReplies(const quillmast::DeviceReply* replies, int count);
    // Posts WM_DEVICES_CHANGED unless one is already queued. False when the post failed, so the
    // caller tries again later instead of leaving the list behind the table for good.
    bool AnnounceTableChange();
};

// Thread procedures, each given the owning window's discovery state.
DWORD WINAPI SearchThread(LPVOID param);
DWORD WINAPI ReceiveThread(LPVOID param);
