#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "net/links.h"
#include "net/wire.h"

namespace quillctl {

// The Linux sockets: one receiving socket on port 5555 joined to the group on every link (the arrival
// interface comes with each datagram, IP_PKTINFO), and one sending socket per link bound to the link's
// address and port 5556, with the group's time-to-live 10 and loopback off. For WS-Discovery, the same
// again: a socket per link on a port of the system's choosing (answers come back to it), and where
// announcements are wanted one on port 3702 joined to 239.255.255.250 on every link.
class LinuxWire : public Wire {
  public:
    // Throws WireSetupError.
    LinuxWire(const std::vector<Link>& links, const WireOptions& options);

    Clock::time_point Now() override { return Clock::now(); }
    std::string Send(size_t link, std::span<const uint8_t> datagram) override;
    std::string SendOnvif(size_t link, std::span<const uint8_t> datagram) override;
    void Receive(Clock::time_point until, const std::function<void(const Arrival&)>& sink) override;
    bool Interrupted() override;
    std::string SetupWarning() override { return setupWarning_; }

  private:
    int OpenGroupReceiver(const std::vector<Link>& links, Ipv4 group, uint16_t port, const std::string& what);
    int OpenSender(const Link& link, uint16_t port, const std::string& what);
    // Hands what is queued on the socket to `sink`, for kDrainSlice at most and never past `until`.
    void Drain(int fd, Channel channel, Clock::time_point until,
               const std::function<void(const Arrival&)>& sink);

    // A descriptor closed with its owner, also when set-up fails half-way.
    class Fd {
      public:
        explicit Fd(int fd = -1) : fd_(fd) {}
        Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
        Fd& operator=(Fd&& other) noexcept;
        Fd(const Fd&) = delete;
        Fd& operator=(const Fd&) = delete;
        ~Fd();
        int get() const { return fd_; }

      private:
        int fd_;
    };

    struct Receiver {
        int fd;
        Channel channel;
    };
    std::vector<Fd> owned_;
    std::string setupWarning_;
    std::vector<Receiver> receivers_;
    std::vector<int> senders_, onvifSenders_;
    std::vector<uint8_t> buffer_; // one whole datagram
};

// Ctrl-C and SIGTERM end a wait instead of the process, so a command can report what it has done.
void CatchInterruptions();

} // namespace quillctl
