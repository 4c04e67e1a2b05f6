#pragma once
// Owners of the socket layer and of one socket, so that each is released exactly once, in the order
// the owner's members are declared in.
#include <atomic>

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

// The window's thread closes the receiving socket on Escape to end the receiver's wait while the
// receiver may be reading it: the handle is atomic, so the receiver sees either the open socket or
// INVALID_SOCKET, never a value in between, and a socket closed once is never closed twice.
class SocketHandle {
  public:
    SocketHandle() = default;
    ~SocketHandle() { Close(); }
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;
    SocketHandle& operator=(SOCKET s) {
        Close();
        m_socket.store(s, std::memory_order_release);
        return *this;
    }

    operator SOCKET() const { return m_socket.load(std::memory_order_acquire); }
    bool IsOpen() const { return m_socket.load(std::memory_order_acquire) != INVALID_SOCKET; }
    // The close's own result; 0 when there was nothing to close.
    int Close() {
        SOCKET s = m_socket.exchange(INVALID_SOCKET, std::memory_order_acq_rel);
        return s != INVALID_SOCKET ? ::closesocket(s) : 0;
    }

  private:
    std::atomic<SOCKET> m_socket{INVALID_SOCKET};
};
