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
    return line;
}

} // namespace

std::string received_line(double wall_seconds, const ReceivedDatagram& datagram,
                          const ClassifiedRequest& request) {
    JsonLine line;
    line.seconds("t", wall_seconds)
        .text("kind", kind_name(request.kind))
        .text("src", format_ipv4(datagram.source))
        .number("sport", datagram.source_port)
        .text("dst", datagram.destination ? format_ipv4(*datagram.destination) : "")
        .optional_number("ttl", datagram.ttl)
        .number("len", static_cast<std::int64_t>(datagram.bytes.size()));
    if (request.change) {
        line.text("mac", format_mac(request.change->mac)).text("ip", request.change->address_text);
    }
    if (request.kind == RequestKind::other) {
        // Whatever it was, the bytes themselves are what a tester needs to see.
        line.text("data", format_hex_bytes(datagram.bytes));
    }
    return line.str();
}

std::string sent_line(double wall_seconds, const OutgoingDatagram& datagram) {
    return outgoing_fields(wall_seconds, datagram.kind == OutgoingKind::raw ? "raw" : "reply", datagram)
        .str();
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
