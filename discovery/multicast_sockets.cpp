#include "discovery_state.h"

using namespace quillmast;

namespace {

sockaddr_in AnyAddress(uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(port);
    return addr;
}

ip_mreq GroupMembership() {
    ip_mreq mreq{};
    mreq.imr_multiaddr.s_addr = inet_addr(DISCOVERY_GROUP);
    mreq.imr_interface.s_addr = htonl(INADDR_ANY);
    return mreq;
}

void ShowReceiveSetupError(HWND owner, const wchar_t* caption) {
    ::MessageBoxW(owner, L"Error", caption, MB_ICONERROR);
}

// A socket of this program is never handed to a child process (the hidden "arp -d" of WEB among them):
// a child that held it could read the devices' replies or keep the ports bound after this program ends.
SOCKET OpenPrivateSocket(DWORD flags) {
    SOCKET s = WSASocketA(AF_INET, SOCK_DGRAM, 0, nullptr, 0, flags | WSA_FLAG_NO_HANDLE_INHERIT);
    // Systems before 7 SP1 do not know the flag; there the handle is marked once it exists.
    if (s == INVALID_SOCKET && WSAGetLastError() == WSAEINVAL)
        s = WSASocketA(AF_INET, SOCK_DGRAM, 0, nullptr, 0, flags);
    if (s != INVALID_SOCKET)
        ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    return s;
}

int SetIntOption(SOCKET s, int level, int option, int value) {
    return setsockopt(s, level, option, reinterpret_cast<const char*>(&value), sizeof(value));
}

} // namespace

int DiscoveryState::ConnectMulticastReceive() {
    m_sockRecv = OpenPrivateSocket(WSA_FLAG_MULTIPOINT_C_LEAF | WSA_FLAG_MULTIPOINT_D_LEAF);
    if (!m_sockRecv.IsOpen()) {
        ShowReceiveSetupError(m_hDiscoveryWnd, L"ConnectMulticastReceive: WSASocket error!");
        return 0;
    }
    if (SetIntOption(m_sockRecv, SOL_SOCKET, SO_REUSEADDR, 1) == SOCKET_ERROR) {
        ShowReceiveSetupError(m_hDiscoveryWnd, L"ConnectMulticastReceive: setsockopt error!");
        m_sockRecv.Close();
        return 0;
    }
    sockaddr_in local = AnyAddress(DISCOVERY_REPLY_PORT);
    if (bind(m_sockRecv, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) == SOCKET_ERROR) {
        ShowReceiveSetupError(m_hDiscoveryWnd, L"ConnectMulticastReceive: bind error!");
        m_sockRecv.Close();
        return 0;
    }
    // The platform's own group join: the multipoint leaf join is not available everywhere, and this
    // gives the same membership on the default interface.
    ip_mreq mreq = GroupMembership();
    if (setsockopt(m_sockRecv, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&mreq),
                   sizeof(mreq)) == SOCKET_ERROR) {
        ShowReceiveSetupError(m_hDiscoveryWnd, L"ConnectMulticastReceive: WSAJoinLeaf error!");
        m_sockRecv.Close();
        return 0;
    }
    FD_ZERO(&m_fdRecv);
    FD_SET(m_sockRecv, &m_fdRecv);
    return 1;
}

int DiscoveryState::ConnectMulticastSend() {
    // What socket() makes, overlapped included.
    m_sockSend = OpenPrivateSocket(WSA_FLAG_OVERLAPPED);
    sockaddr_in local = AnyAddress(DISCOVERY_REQUEST_PORT);
    ip_mreq mreq = GroupMembership();
    bool ok = m_sockSend.IsOpen() && SetIntOption(m_sockSend, SOL_SOCKET, SO_REUSEADDR, 1) != SOCKET_ERROR &&
              SetIntOption(m_sockSend, IPPROTO_IP, IP_MULTICAST_TTL, 10) != SOCKET_ERROR &&
              SetIntOption(m_sockSend, IPPROTO_IP, IP_MULTICAST_LOOP, 0) != SOCKET_ERROR &&
              bind(m_sockSend, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != SOCKET_ERROR &&
              setsockopt(m_sockSend, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&mreq),
                         sizeof(mreq)) != SOCKET_ERROR;
    // Silent, as before, but only this socket goes: ending the socket layer here would also have
    // taken the receiving socket, and left the start-up's WSAStartup without its one WSACleanup.
    if (!ok) {
        m_sockSend.Close();
        return 0;
    }
    return 1;
}

int DiscoveryState::CloseMulticastReceive() { return m_sockRecv.Close(); }

int DiscoveryState::CloseMulticastSend() { return m_sockSend.Close(); }
