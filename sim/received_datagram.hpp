#pragma once

#include "base/ipv4_address.hpp"

#include <cstdint>
#include <optional>
#include <vector>

namespace quillsim {

// One datagram as it arrived on the request port, with what the IP header said about it.
struct ReceivedDatagram {
    Ipv4 source;
    std::uint16_t source_port = 0;
    std::optional<Ipv4> destination; // the group for a multicast, our own address for a unicast
    std::optional<int> ttl;
    std::vector<std::uint8_t> bytes;
};

} // namespace quillsim
