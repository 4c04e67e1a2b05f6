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
#include "handle.h"
#include "lock.h"
#include "posted_result.h"
#include "socket_handle.h"
#include "wire_protocol.h"

// Posted by the receiver to the window after it changed the table; the window then brings the list
// in step under the table's lock. wParam and lParam are 0.
inline constexpr UINT WM_DEVICES_CHANGED = WM_USER + 101;

class DiscoveryState : public quillmast::DeviceTable {
  public:
    // Declared in the order they are released in reverse: the sockets before the socket layer, and
    // the lock last of all, once the threads that take it have ended.
    CCriticalSection m_csDevices;
    WinsockSession m_winsock;
    WSADATA m_wsaData{};
    SocketHandle m_sockRecv;
    fd_set m_fdRecv{};
    std::atomic<int32_t> m_bQuit{0};
    CHandle m_hRecvThread;
    SocketHandle m_sockSend;
    CHandle m_hSendThread;
    std::atomic<uint8_t> m_bChangePending{0};
    uint8_t m_ChangeCmd[quillmast::kChangeIpCommandSize] = {};

    // Where set-up failures are shown and table changes are announced.
    HWND m_hDiscoveryWnd = nullptr;
    // WM_DEVICES_CHANGED: a burst of replies leaves one message in the queue, not hundreds.
    CPostedResult m_devicesChanged;

    DiscoveryState() : quillmast::DeviceTable() {}

    int ConnectMulticastReceive();
    int ConnectMulticastSend();
    int CloseMulticastReceive();
    int CloseMulticastSend();

    // What the window's dialogs and workers need of the table and the command, never its fields:
    // Row `row` copied whole under the lock, so a reply rewriting its text is never seen half-written.
    // False when the row is not in use.
    bool CopyDeviceRow(int row, quillmast::DeviceRow& out);
    // Hands a change-IP command to the sender: the command is written before the flag that publishes it.
    void QueueChangeIp(const uint8_t (&mac)[quillmast::kMacSize], const char* address);
    bool ChangeIpPending() const;
    // Takes a pending command back. False when the receiver confirmed it meanwhile.
    bool WithdrawChangeIp();

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
