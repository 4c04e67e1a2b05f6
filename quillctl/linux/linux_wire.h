#pragma once
#include <utility>
#include <vector>

#include "links.h"
#include "wire.h"

namespace quillctl {

// The Linux sockets: one receiving socket on port 5555 joined to the group on every link (the arrival
// interface comes with each datagram, IP_PKTINFO), and one sending socket per link bound to the link's
// address and port 5556, with the group's time-to-live 10 and loopback off.
class LinuxWire : public Wire {
  public:
    // Throws WireSetupError.
    explicit LinuxWire(const std::vector<Link>& links);

    Clock::time_point Now() override { return Clock::now(); }
    std::string Send(size_t link, std::span<const uint8_t> datagram) override;
    void Receive(Clock::time_point until, const std::function<void(const Arrival&)>& sink) override;
    bool Interrupted() override;

  private:
    void OpenReceiver(const std::vector<Link>& links);
    void OpenSender(const Link& link);
    // Hands every queued datagram (up to a bound) to the sink.
    void Drain(const std::function<void(const Arrival&)>& sink);

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

    Fd receive_;
    std::vector<Fd> senders_;
};

// Ctrl-C and SIGTERM end a wait instead of the process, so a command can report what it has done.
void CatchInterruptions();

} // namespace quillctl
