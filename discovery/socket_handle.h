#pragma once
// Owners of the socket layer and of one socket, so that each is released exactly once, in the order
// the owner's members are declared in.
#include <utility>

#include <winsock2.h>

// The process's use of Windows Sockets: started once, ended once with the owner.
class WinsockSession {
  public:
    WinsockSession() = default;
    ~WinsockSession() {
        if (m_started)
            ::WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

    int Start(WORD version, WSADATA* data) {
        if (m_started)
            return 0;
        int result = ::WSAStartup(version, data);
        m_started = result == 0;
        return result;
    }

  private:
    bool m_started = false;
};

class SocketHandle {
  public:
    SocketHandle() = default;
    ~SocketHandle() { Close(); }
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;
    SocketHandle& operator=(SOCKET s) {
        Close();
        m_socket = s;
        return *this;
    }

    operator SOCKET() const { return m_socket; }
    bool IsOpen() const { return m_socket != INVALID_SOCKET; }
    // The close's own result; 0 when there was nothing to close.
    int Close() { return IsOpen() ? ::closesocket(std::exchange(m_socket, INVALID_SOCKET)) : 0; }

  private:
    SOCKET m_socket = INVALID_SOCKET;
};
