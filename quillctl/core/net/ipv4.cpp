#include "net/ipv4.h"

#include <cstdio>
#include <cstring>

#include "device_url.h"

namespace quillctl {

std::optional<Ipv4> ParseIpv4(std::string_view text) {
    char buffer[16];
    if (text.size() >= sizeof(buffer))
        return std::nullopt;
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    // A zero byte inside the view would shorten the text: such a view is not an address either.
    if (std::strlen(buffer) != text.size() || !quillmast::IsDottedIpv4(buffer))
        return std::nullopt;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (std::sscanf(buffer, "%u.%u.%u.%u", &a, &b, &c, &d) != 4)
        return std::nullopt;
    return Ipv4{(a << 24) | (b << 16) | (c << 8) | d};
}

std::string FormatIpv4(Ipv4 address) {
    char text[16];
    std::snprintf(text, sizeof(text), "%u.%u.%u.%u", address.value >> 24, (address.value >> 16) & 0xff,
                  (address.value >> 8) & 0xff, address.value & 0xff);
    return text;
}

uint32_t Subnet::Mask() const {
    if (prefixLength <= 0)
        return 0;
    if (prefixLength >= 32)
        return 0xffffffffu;
    return ~(0xffffffffu >> prefixLength);
}

bool Subnet::Contains(Ipv4 other) const { return (other.value & Mask()) == (address.value & Mask()); }

Ipv4 Subnet::Network() const { return Ipv4{address.value & Mask()}; }

Ipv4 Subnet::Broadcast() const { return Ipv4{address.value | ~Mask()}; }

} // namespace quillctl
