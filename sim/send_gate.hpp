#pragma once

#include "log_sink.hpp"
#include "outgoing_queue.hpp"
#include "udp_endpoint.hpp"

#include <vector>

namespace quillsim {

enum class Delivery { done, retry_later };

// The last gate before the wire: a datagram for a destination outside the lab ranges is not sent (unicast
// answers go wherever a request came from). Logs what became of the datagram; retry_later means the socket
// has no room now and nothing was logged.
Delivery deliver(UdpEndpoint& udp, const OutgoingDatagram& datagram, LogSink& log);

// Sends them all at once, in order, waiting for room in the socket: for the announcements that must be out
// before the ready line and after the loop.
void deliver_all_now(UdpEndpoint& udp, const std::vector<OutgoingDatagram>& datagrams, LogSink& log);

} // namespace quillsim
