#pragma once

#include "ipv4_address.hpp"
#include "outgoing_queue.hpp"
#include "received_datagram.hpp"

#include <optional>

namespace quillsim {

// The one UDP socket of the simulator: bound to port 5556 and joined to the discovery group, it hears the
// program's requests and sends the answers, as a device's single socket would. Non-blocking.
class UdpEndpoint {
  public:
    // Throws std::system_error naming the step that failed.
    UdpEndpoint(std::optional<Ipv4> bind_ip, int multicast_ttl);
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
