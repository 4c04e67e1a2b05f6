#pragma once

#include "base/ipv4_address.hpp"
#include "mac_address.hpp"
#include "base/sim_clock.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillsim {

struct Destination {
    Ipv4 address;
    std::uint16_t port = 0;
    auto operator<=>(const Destination&) const = default;
};

enum class OutgoingKind {
    reply,               // a quill device's answer
    raw,                 // a crafted datagram (--raw)
    onvif_match,         // a camera's ProbeMatches
    onvif_resolve_match, // a camera's ResolveMatches
    onvif_hello,
    onvif_bye,
    onvif_raw, // a crafted reply to a Probe (--onvif-raw-file)
};

// ONVIF datagrams leave from the WS-Discovery socket, the others from the quill one.
inline bool is_onvif(OutgoingKind kind) { return kind != OutgoingKind::reply && kind != OutgoingKind::raw; }

struct OutgoingDatagram {
    Millis due = 0;
    Destination to;
    std::vector<std::uint8_t> bytes;
    OutgoingKind kind = OutgoingKind::reply;
    // For replies, which device answered and with what address, so the log can say so without re-parsing.
    std::optional<MacBytes> mac;
    std::string address;
    std::optional<std::size_t> camera; // for ONVIF messages, which camera sent it
};

// Datagrams waiting for their time, earliest first; datagrams due at the same time leave in the order they
// were queued, so a raw sequence keeps its order.
class OutgoingQueue {
  public:
    void push(OutgoingDatagram datagram);

    bool empty() const { return heap_.empty(); }
    std::size_t size() const { return heap_.size(); }
    std::optional<Millis> next_due() const;

    // The earliest datagram if it is due at now; it stays queued until pop(), so a send that would block can
    // be tried again later.
    const OutgoingDatagram* peek_due(Millis now) const;
    void pop();

  private:
    struct Entry {
        std::uint64_t sequence;
        OutgoingDatagram datagram;
    };
    static bool later(const Entry& a, const Entry& b);

    std::vector<Entry> heap_;
    std::uint64_t next_sequence_ = 0;
};

} // namespace quillsim
