#include "ipv4_address.hpp"

namespace quillsim {

std::optional<Ipv4> parse_ipv4(std::string_view text) {
    std::uint32_t value = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.') {
                return std::nullopt;
            }
            ++pos;
        }
        const std::size_t start = pos;
        unsigned number = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3) {
            number = number * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
        }
        const std::size_t digits = pos - start;
        if (digits == 0 || number > 255 || (digits > 1 && text[start] == '0')) {
            return std::nullopt;
        }
        value = (value << 8) | number;
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return Ipv4{value};
}

std::string format_ipv4(Ipv4 address) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (shift != 24) {
            text.push_back('.');
        }
        text += std::to_string((address.value >> shift) & 0xff);
    }
    return text;
}

std::optional<Ipv4> offset_ipv4(Ipv4 base, std::uint64_t offset) {
    const std::uint64_t sum = std::uint64_t{base.value} + offset;
    if (sum > 0xffffffffu) {
        return std::nullopt;
    }
    return Ipv4{static_cast<std::uint32_t>(sum)};
}

bool in_subnet(Ipv4 address, Ipv4 network, int prefix_length) {
    if (prefix_length <= 0) {
        return true;
    }
    const std::uint32_t mask = prefix_length >= 32 ? 0xffffffffu : ~(0xffffffffu >> prefix_length);
    return (address.value & mask) == (network.value & mask);
}

} // namespace quillsim
