#pragma once
// IPv4 addresses as numbers, so subnets, ranges and comparisons are plain arithmetic.
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillctl {

struct Ipv4 {
    uint32_t value = 0; // host byte order
    auto operator<=>(const Ipv4&) const = default;
};

// Only the strict dotted form a device takes: four numbers 0..255 without leading zeros, nothing
// else. The same rule decides which address text may be opened as a web page.
std::optional<Ipv4> ParseIpv4(std::string_view text);

std::string FormatIpv4(Ipv4 address);

struct Subnet {
    Ipv4 address; // any address inside it (an interface's own)
    int prefixLength = 32;

    uint32_t Mask() const;
    bool Contains(Ipv4 other) const;
    Ipv4 Network() const;
    Ipv4 Broadcast() const;
    // /31 and /32 have no subnet or broadcast address of their own.
    bool HasNetworkAndBroadcast() const { return prefixLength <= 30; }
};

} // namespace quillctl
