#include "send_gate.hpp"

#include "log_events.hpp"
#include "real_clocks.hpp"
#include "safety_rules.hpp"

#include <cstring>
#include <poll.h>

namespace quillsim {

namespace {

constexpr int kRoomWaitMs = 10;

} // namespace

Delivery deliver(UdpEndpoint& udp, const OutgoingDatagram& datagram, LogSink& log) {
    if (!is_allowed_destination(datagram.to.address)) {
        log.write(refused_line(wall_seconds(), datagram));
        return Delivery::done;
    }
    int error = 0;
    switch (udp.send(datagram, error)) {
    case UdpEndpoint::SendResult::sent:
        log.write(sent_line(wall_seconds(), datagram));
        break;
    case UdpEndpoint::SendResult::retry_later:
        return Delivery::retry_later;
    case UdpEndpoint::SendResult::failed:
        log.write(send_error_line(wall_seconds(), datagram, std::strerror(error)));
        break;
    }
    return Delivery::done;
}

void deliver_all_now(UdpEndpoint& udp, const std::vector<OutgoingDatagram>& datagrams, LogSink& log) {
    for (const auto& datagram : datagrams) {
        while (deliver(udp, datagram, log) == Delivery::retry_later) {
            pollfd room{udp.fd(), POLLOUT, 0};
            poll(&room, 1, kRoomWaitMs);
        }
    }
}

} // namespace quillsim
