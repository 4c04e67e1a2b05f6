#include "discovery_state.h"

#include "lock.h"

using namespace quillmast;

namespace {

// Datagrams taken in one turn at most, so the stop flag is still looked at in bounded time even when
// the queue never empties (a flood fills it faster than any receiver drains it).
constexpr int kMaxDatagramsPerTurn = 1024;

// Sleeps five times 100 ms, looking at the stop flag before each. Returns true when it is set.
bool RestOrQuit(const DiscoveryState& state) {
    for (int i = 0; i < 5; ++i) {
        if (state.m_bQuit.load(std::memory_order_acquire))
            return true;
        Sleep(100);
    }
    return false;
}

// The receiver's storage for one turn, fixed for the thread's life: nothing is allocated per datagram.
struct TurnStorage {
    uint8_t buffer[kReplyBufferSize];
    DeviceReply replies[kMaxDatagramsPerTurn];
};

// Reads one waiting datagram into the fixed buffer. Returns its considered length, 0 for a read that
// failed and is skipped, or -1 when nothing is waiting (the socket does not block).
int ReadDatagram(const DiscoveryState& state, uint8_t (&buffer)[kReplyBufferSize]) {
    sockaddr_in from{};
    int fromLength = sizeof(from);
    int received = recvfrom(state.m_sockRecv, reinterpret_cast<char*>(buffer), sizeof(buffer), 0,
                            reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received != SOCKET_ERROR)
        return received;
    switch (WSAGetLastError()) {
    case WSAEWOULDBLOCK:
        return -1;
    case WSAEMSGSIZE: // a longer datagram still yields its first 512 bytes
        return static_cast<int>(sizeof(buffer));
    case WSAENOTSOCK: // the window closed the socket to end this thread: nothing more will come
        return -1;
    default:
        return 0;
    }
}

// Takes the datagram that ended the wait and every one queued behind it, up to the turn's bound,
// parsing each outside the lock; then applies them all under one hold of the lock. With hundreds of
// devices answering each search, one datagram per pause would leave a backlog of seconds in the
// socket's queue, and taking the lock per datagram during a flood would starve the window of it.
// Returns true when the table changed.
bool DrainWaitingDatagrams(DiscoveryState& state, TurnStorage& turn) {
    int parsed = 0;
    for (int taken = 0; taken < kMaxDatagramsPerTurn; ++taken) {
        int length = ReadDatagram(state, turn.buffer);
        if (length < 0)
            break;
        if (length > 0)
            turn.replies[parsed++] = ParseDeviceReply(turn.buffer, static_cast<size_t>(length));
    }
    return parsed > 0 && state.ApplyReplies(turn.replies, parsed);
}

} // namespace

bool DiscoveryState::ApplyReplies(const DeviceReply* replies, int count) {
    bool changed = false;
    CriticalSectionLock lock(m_csDevices);
    for (int i = 0; i < count; ++i) {
        // A full table still takes replies of listed devices: their new address and the
        // confirmation of a pending change must not be lost. Only a new device is refused.
        bool pending = m_bChangePending.load(std::memory_order_acquire) != 0;
        ReplyOutcome out = ApplyReply(replies[i], pending ? m_ChangeCmd + kChangeCmdMacOffset : nullptr);
        if (out.confirmsChange)
            m_bChangePending.store(0, std::memory_order_release);
        changed |= out.effect == ReplyEffect::Added || out.effect == ReplyEffect::IpChanged;
    }
    return changed;
}

bool DiscoveryState::AnnounceTableChange() {
    return m_devicesChanged.Post(m_hDiscoveryWnd, WM_DEVICES_CHANGED);
}

DWORD WINAPI ReceiveThread(LPVOID param) {
    auto* state = static_cast<DiscoveryState*>(param);
    TurnStorage turn;
    // Reads stop at an empty queue instead of waiting: the wait is select's alone.
    u_long nonBlocking = 1;
    ioctlsocket(state->m_sockRecv, FIONBIO, &nonBlocking);
    // A change the window has not been told of yet, because the post failed; tried again every turn.
    bool announcementOwed = false;

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
        } else if (DrainWaitingDatagrams(*state, turn)) {
            announcementOwed = true;
        }
        if (announcementOwed)
            announcementOwed = !state->AnnounceTableChange();
        Sleep(50);
        if (state->m_bQuit.load(std::memory_order_acquire))
            return 1;
    }
}
