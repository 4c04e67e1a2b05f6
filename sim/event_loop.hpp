#pragma once

#include "device_fleet.hpp"
#include "device_service_server.hpp"
#include "http_page_server.hpp"
#include "log_sink.hpp"
#include "onvif_device.hpp"
#include "raw_schedule.hpp"
#include "stop_signals.hpp"
#include "udp_endpoint.hpp"

#include <optional>

namespace quillsim {

struct LoopParts {
    UdpEndpoint& udp;
    DeviceFleet& fleet;
    LogSink& log;
    const StopSignals& signals;     // set up before the ready line, so an early SIGTERM still ends cleanly
    HttpPageServer* http = nullptr; // nothing without --http
    RawPlan raw;                    // no payloads: nothing crafted to send
    bool raw_on_search = false;
    std::optional<Millis> run_for;    // nothing: until SIGINT or SIGTERM
    UdpEndpoint* onvif_udp = nullptr; // the WS-Discovery socket, with --onvif or --onvif-raw-file
    OnvifFleet* onvif = nullptr;
    DeviceServiceServer* services = nullptr; // the cameras' device services, with --onvif N
};

// Receives requests, lets the fleet answer them, and sends every queued datagram when it falls due, all on
// one thread: the wait is for whichever comes first, a datagram or the next due moment.
void run_event_loop(LoopParts& parts);

} // namespace quillsim
