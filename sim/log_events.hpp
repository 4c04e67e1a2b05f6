#pragma once

#include "device_fleet.hpp"
#include "flood_mix.hpp"
#include "onvif_device.hpp"
#include "outgoing_queue.hpp"
#include "received_datagram.hpp"
#include "wire_format.hpp"

#include <string>
#include <string_view>

namespace quillsim {

// The log lines, one JSON object each; wall_seconds is Unix time. Their fields are listed in --help and in
// the README, which a test harness relies on: change a field there too.

// kind "search" | "change" | "other": a datagram that arrived on the request port.
std::string received_line(double wall_seconds, const ReceivedDatagram& datagram,
                          const ClassifiedRequest& request);

// kind "onvif-probe" | "onvif-resolve" | "other": a datagram that arrived on the WS-Discovery port.
std::string onvif_received_line(double wall_seconds, const ReceivedDatagram& datagram,
                                const OnvifReception& reception);

// kind "onvif-dropped": a camera's ProbeMatch that was never sent, as if lost on the way.
std::string onvif_dropped_line(double wall_seconds, const OnvifDrop& drop);

// kind "reply" | "raw" | "onvif-match" | "onvif-resolve-match" | "onvif-hello" | "onvif-bye" | "onvif-raw":
// a datagram that went out.
std::string sent_line(double wall_seconds, const OutgoingDatagram& datagram);

// kind "changed": a device took a new address.
std::string changed_line(double wall_seconds, const DeviceAddressChange& change);

// kind "refused": a datagram not sent because its destination lies outside the lab ranges.
std::string refused_line(double wall_seconds, const OutgoingDatagram& datagram);

// kind "send-error": the operating system rejected a send.
std::string send_error_line(double wall_seconds, const OutgoingDatagram& datagram, std::string_view error);

// kind "flood": the end of a flood run, what was sent to `to` in `seconds`.
std::string flood_line(double wall_seconds, const Destination& to, const FloodTally& tally, double seconds);

} // namespace quillsim
