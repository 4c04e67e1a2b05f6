#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>

#include <vector>

#include "net/links.h"
#include "net/wire.h"

namespace quillctl {

// The Windows sockets: one receiving socket on port 5555 joined to the group on every link (the arrival
// interface comes with each datagram through WSARecvMsg and IP_PKTINFO), and one sending socket per
// link bound to the link's address and port 5556, with the group's time-to-live 10 and loopback off. For
// WS-Discovery, the same again: a socket per link on a port of the system's choosing (answers come back
// to it), and where announcements are wanted one on port 3702 joined to 239.255.255.250 on every link.
class WindowsWire : public Wire {
  public:
    // Throws WireSetupError.
    WindowsWire(const std::vector<Link>& links, const WireOptions& options);
    ~WindowsWire() override;
    WindowsWire(const WindowsWire&) = delete;
    WindowsWire& operator=(const WindowsWire&) = delete;

    Clock::time_point Now() override { return Clock::now(); }
    std::string Send(size_t link, std::span<const uint8_t> datagram) override;
    std::string SendOnvif(size_t link, std::span<const uint8_t> datagram) override;
    void Receive(Clock::time_point until, const std::function<void(const Arrival&)>& sink) override;
    bool Interrupted() override;
    std::string SetupWarning() override { return setupWarning_; }

  private:
    void Open(const std::vector<Link>& links, const WireOptions& options);
    SOCKET OpenGroupReceiver(const std::vector<Link>& links, Ipv4 group, uint16_t port,
                             const std::string& what);
    SOCKET OpenSender(const Link& link, uint16_t port, const std::string& what);
    SOCKET NewSocket(const std::string& what);
    // Hands what is queued on the socket to `sink`, for kDrainSlice at most and never past `until`.
    void Drain(SOCKET s, Channel channel, Clock::time_point until,
               const std::function<void(const Arrival&)>& sink);
    void Close();

    struct Receiver {
        SOCKET s;
        Channel channel;
    };
    bool started_ = false;
    std::vector<SOCKET> owned_;
    std::string setupWarning_;
    std::vector<Receiver> receivers_;
    std::vector<SOCKET> senders_, onvifSenders_;
    LPFN_WSARECVMSG recvMsg_ = nullptr;
    std::vector<uint8_t> buffer_;
};

// Ctrl-C and Ctrl-Break end a wait instead of the process, so a command can report what it has done.
void CatchInterruptions();

// The system's text for a Windows Sockets or system error code.
std::string SystemMessage(DWORD code);

} // namespace quillctl
