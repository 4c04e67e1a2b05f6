#include "log_events.hpp"

#include "hex_text.hpp"
#include "json_line.hpp"

namespace quillsim {

namespace {

const char* kind_name(RequestKind kind) {
    switch (kind) {
    case RequestKind::search:
        return "search";
    case RequestKind::change:
        return "change";
    case RequestKind::other:
        break;
    }
    return "other";
}

const char* sent_kind_name(OutgoingKind kind) {
    switch (kind) {
    case OutgoingKind::reply:
        return "reply";
    case OutgoingKind::raw:
        return "raw";
    case OutgoingKind::onvif_match:
        return "onvif-match";
    case OutgoingKind::onvif_resolve_match:
        return "onvif-resolve-match";
    case OutgoingKind::onvif_hello:
        return "onvif-hello";
    case OutgoingKind::onvif_bye:
        return "onvif-bye";
    case OutgoingKind::onvif_raw:
        break;
    }
    return "onvif-raw";
}

// The fields every line about a received datagram starts with.
JsonLine received_fields(double wall_seconds, std::string_view kind, const ReceivedDatagram& datagram) {
    JsonLine line;
    line.seconds("t", wall_seconds)
        .text("kind", kind)
        .text("src", format_ipv4(datagram.source))
        .number("sport", datagram.source_port)
        .text("dst", datagram.destination ? format_ipv4(*datagram.destination) : "")
        .optional_number("ttl", datagram.ttl)
        .number("len", static_cast<std::int64_t>(datagram.bytes.size()));
    return line;
}

// The fields every line about an outgoing datagram starts with.
JsonLine outgoing_fields(double wall_seconds, std::string_view kind, const OutgoingDatagram& datagram) {
    JsonLine line;
    line.seconds("t", wall_seconds)
        .text("kind", kind)
        .text("dst", format_ipv4(datagram.to.address))
        .number("dport", datagram.to.port)
        .number("len", static_cast<std::int64_t>(datagram.bytes.size()));
    if (datagram.mac) {
        line.text("mac", format_mac(*datagram.mac)).text("ip", datagram.address);
    }
    if (datagram.camera) {
        line.number("device", static_cast<std::int64_t>(*datagram.camera)).text("ip", datagram.address);
    }
    return line;
}

} // namespace

std::string received_line(double wall_seconds, const ReceivedDatagram& datagram,
                          const ClassifiedRequest& request) {
    JsonLine line = received_fields(wall_seconds, kind_name(request.kind), datagram);
    if (request.change) {
        line.text("mac", format_mac(request.change->mac)).text("ip", request.change->address_text);
    }
    if (request.kind == RequestKind::other) {
        // Whatever it was, the bytes themselves are what a tester needs to see.
        line.text("data", format_hex_bytes(datagram.bytes));
    }
    return line.str();
}

std::string onvif_received_line(double wall_seconds, const ReceivedDatagram& datagram,
                                const OnvifReception& reception) {
    const DiscoveryMessage& message = reception.message;
    if (message.kind == DiscoveryKind::other) {
        return received_fields(wall_seconds, "other", datagram)
            .number("port", kWsDiscoveryPort)
            .text("data", format_hex_bytes(datagram.bytes))
            .str();
    }
    const bool probe = message.kind == DiscoveryKind::probe;
    JsonLine line = received_fields(wall_seconds, probe ? "onvif-probe" : "onvif-resolve", datagram);
    line.text("message_id", message.message_id);
    if (probe) {
        std::vector<std::string> types;
        for (const auto& type : message.types) {
            types.push_back(clark_name(type));
        }
        line.texts("types", types).texts("scopes", message.scopes);
    } else {
        line.text("endpoint", message.resolve_endpoint);
    }
    return line.number("answered", static_cast<std::int64_t>(reception.answered)).str();
}

std::string onvif_dropped_line(double wall_seconds, const OnvifDrop& drop) {
    JsonLine line;
    line.seconds("t", wall_seconds)
        .text("kind", "onvif-dropped")
        .number("device", static_cast<std::int64_t>(drop.device))
        .text("dst", format_ipv4(drop.to.address))
        .number("dport", drop.to.port);
    return line.str();
}

std::string sent_line(double wall_seconds, const OutgoingDatagram& datagram) {
    return outgoing_fields(wall_seconds, sent_kind_name(datagram.kind), datagram).str();
}

std::string changed_line(double wall_seconds, const DeviceAddressChange& change) {
    JsonLine line;
    line.seconds("t", wall_seconds)
        .text("kind", "changed")
        .text("mac", format_mac(change.mac))
        .text("old", change.change.old_address)
        .text("new", change.change.new_address);
    return line.str();
}

std::string refused_line(double wall_seconds, const OutgoingDatagram& datagram) {
    return outgoing_fields(wall_seconds, "refused", datagram).str();
}

std::string send_error_line(double wall_seconds, const OutgoingDatagram& datagram, std::string_view error) {
    return outgoing_fields(wall_seconds, "send-error", datagram).text("error", error).str();
}

std::string flood_line(double wall_seconds, const Destination& to, const FloodTally& tally, double seconds) {
    JsonLine line;
    line.seconds("t", wall_seconds)
        .text("kind", "flood")
        .text("dst", format_ipv4(to.address))
        .number("dport", to.port)
        .seconds("seconds", seconds)
        .number("bytes", static_cast<std::int64_t>(tally.bytes))
        .number("errors", static_cast<std::int64_t>(tally.errors));
    std::uint64_t total = 0;
    for (std::size_t kind = 0; kind < kFloodKindCount; ++kind) {
        line.number(flood_kind_name(static_cast<FloodKind>(kind)),
                    static_cast<std::int64_t>(tally.sent[kind]));
        total += tally.sent[kind];
    }
    return line.number("sent", static_cast<std::int64_t>(total)).str();
}

} // namespace quillsim
