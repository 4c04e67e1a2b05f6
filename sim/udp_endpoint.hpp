#pragma once

#include "base/ipv4_address.hpp"
#include "outgoing_queue.hpp"
#include "received_datagram.hpp"

#include <optional>

namespace quillsim {

// Which port a socket serves and which group it joins there.
struct UdpService {
    std::uint16_t port = 0;
    Ipv4 group{};
    // Off where the simulator itself multicasts to its own port (Hello, Bye), so it does not hear itself.
    bool hear_own_multicast = true;
};

// The quill devices' service: port 5556, group 235.5.6.7.
UdpService quill_service();

// A UDP socket of the simulator: bound to its port and joined to its group, it hears the requests and
// sends the answers, as a device's single socket would. Non-blocking.
class UdpEndpoint {
  public:
    // Throws std::system_error naming the step that failed.
    UdpEndpoint(std::optional<Ipv4> bind_ip, int multicast_ttl, UdpService service = quill_service());
    UdpEndpoint(const UdpEndpoint&) = delete;
    UdpEndpoint& operator=(const UdpEndpoint&) = delete;
    ~UdpEndpoint();

    int fd() const { return fd_; }

    // Nothing when no datagram is waiting.
    std::optional<ReceivedDatagram> receive();

    enum class SendResult { sent, retry_later, failed };
    // error receives errno when the result is not sent.
    SendResult send(const OutgoingDatagram& datagram, int& error);

  private:
    int fd_ = -1;
    std::optional<Ipv4> bind_ip_;
};

} // namespace quillsim
