#pragma once

#include "flood_mix.hpp"
#include "log_sink.hpp"
#include "outgoing_queue.hpp"
#include "stop_signals.hpp"
#include "udp_endpoint.hpp"

#include <functional>

namespace quillsim {

struct FloodPlan {
    Destination to;
    Millis run_for = 0;
    std::uint64_t rate = 0;              // datagrams a second; 0: as fast as the socket takes them
    std::function<FloodDatagram()> next; // the mix
};

// Sends plan.next()'s datagrams to plan.to at plan.rate, for plan.run_for or until a stop signal,
// then logs one "flood" line with what was sent. Returns false when a send failed for good.
bool run_flood(UdpEndpoint& udp, const FloodPlan& plan, const StopSignals& signals, LogSink& log);

} // namespace quillsim
