#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>

#include <vector>

#include "links.h"
#include "wire.h"

namespace quillctl {

// The Windows sockets: one receiving socket on port 5555 joined to the group on every link (the arrival
// interface comes with each datagram through WSARecvMsg and IP_PKTINFO), and one sending socket per
// link bound to the link's address and port 5556, with the group's time-to-live 10 and loopback off.
class WindowsWire : public Wire {
  public:
    // Throws WireSetupError.
    explicit WindowsWire(const std::vector<Link>& links);
    ~WindowsWire() override;
    WindowsWire(const WindowsWire&) = delete;
    WindowsWire& operator=(const WindowsWire&) = delete;

    Clock::time_point Now() override { return Clock::now(); }
    std::string Send(size_t link, std::span<const uint8_t> datagram) override;
    void Receive(Clock::time_point until, const std::function<void(const Arrival&)>& sink) override;
    bool Interrupted() override;

  private:
    void Open(const std::vector<Link>& links);
    void OpenReceiver(const std::vector<Link>& links);
    void OpenSender(const Link& link);
    void Drain(const std::function<void(const Arrival&)>& sink);
    void Close();

    bool started_ = false;
    SOCKET receive_ = INVALID_SOCKET;
    std::vector<SOCKET> senders_;
    LPFN_WSARECVMSG recvMsg_ = nullptr;
};

// Ctrl-C and Ctrl-Break end a wait instead of the process, so a command can report what it has done.
void CatchInterruptions();

// The system's text for a Windows Sockets or system error code.
std::string SystemMessage(DWORD code);

} // namespace quillctl
