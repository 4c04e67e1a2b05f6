#include "discovery_state.h"

#include "lock.h"

using namespace quillmast;

namespace {

// Sleeps five times 100 ms, looking at the stop flag before each. Returns true when it is set.
bool RestOrQuit(const DiscoveryState& state) {
    for (int i = 0; i < 5; ++i) {
        if (state.m_bQuit.load(std::memory_order_acquire))
            return true;
        Sleep(100);
    }
    return false;
}

} // namespace

bool DiscoveryState::HandleDatagram(const uint8_t* data, size_t length) {
    CriticalSectionLock lock(m_csDevices);
    DeviceReply reply = ParseDeviceReply(data, length);
    bool pending = m_bChangePending.load(std::memory_order_acquire) != 0;
    ReplyOutcome out = ApplyReply(reply, pending ? m_ChangeCmd + kChangeCmdMacOffset : nullptr);
    if (out.confirmsChange)
        m_bChangePending.store(0, std::memory_order_release);
    return out.effect == ReplyEffect::Added || out.effect == ReplyEffect::IpChanged;
}

void DiscoveryState::AnnounceTableChange() {
    if (!m_bSyncPosted.exchange(true, std::memory_order_acq_rel))
        ::PostMessageW(m_hDiscoveryWnd, WM_DEVICES_CHANGED, 0, 0);
}

DWORD WINAPI ReceiveThread(LPVOID param) {
    auto* state = static_cast<DiscoveryState*>(param);
    // Fixed storage: nothing is allocated per datagram.
    uint8_t buffer[kReplyBufferSize];

    if (RestOrQuit(*state) || state->m_bQuit.load(std::memory_order_acquire))
        return 1;
    for (;;) {
        fd_set readable = state->m_fdRecv;
        timeval wait{10, 0};
        int ready = select(0, &readable, nullptr, nullptr, &wait);
        if (ready <= 0) {
            if (WSAGetLastError() == WSAEINTR) {
                OutputDebugStringA("EINTR=errno.\n");
                if (state->m_bQuit.load(std::memory_order_acquire))
                    return 1;
                continue;
            }
            OutputDebugStringA("No Live Server Found , time out!\n");
            if (RestOrQuit(*state))
                return 1;
        } else {
            sockaddr_in from{};
            int fromLength = sizeof(from);
            int received = recvfrom(state->m_sockRecv, reinterpret_cast<char*>(buffer), sizeof(buffer), 0,
                                    reinterpret_cast<sockaddr*>(&from), &fromLength);
            // A datagram longer than the buffer still yields its first 512 bytes; any other failed
            // read is skipped. A full table drops the datagram before the lock is taken.
            if (received == SOCKET_ERROR && WSAGetLastError() == WSAEMSGSIZE)
                received = sizeof(buffer);
            if (received > 0 && state->DeviceCountUnlocked() < MAX_DEVICES &&
                state->HandleDatagram(buffer, static_cast<size_t>(received)))
                state->AnnounceTableChange();
        }
        Sleep(50);
        if (state->m_bQuit.load(std::memory_order_acquire))
            return 1;
    }
}
