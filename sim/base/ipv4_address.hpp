#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillsim {

// An IPv4 address as a number in host byte order, so that ranges and offsets are plain arithmetic.
struct Ipv4 {
    std::uint32_t value = 0;
    auto operator<=>(const Ipv4&) const = default;
};

// Strict dotted decimal: four numbers 0..255 without leading zeros, exactly what "%d.%d.%d.%d" produces.
// Strictness matters: a device must not take "010.0.0.1" or "1.2.3.4x" as an address.
std::optional<Ipv4> parse_ipv4(std::string_view text);

std::string format_ipv4(Ipv4 address);

// base + offset; nothing if that passes 255.255.255.255.
std::optional<Ipv4> offset_ipv4(Ipv4 base, std::uint64_t offset);

// True if address lies in network/prefix_length.
bool in_subnet(Ipv4 address, Ipv4 network, int prefix_length);

} // namespace quillsim
