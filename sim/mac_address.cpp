#include "mac_address.hpp"

#include "hex_text.hpp"

#include <cstdio>

namespace quillsim {

namespace {

constexpr std::uint64_t kMacLimit = std::uint64_t{1} << 48;

std::uint64_t to_number(const MacBytes& mac) {
    std::uint64_t value = 0;
    for (std::uint8_t byte : mac) {
        value = (value << 8) | byte;
    }
    return value;
}

MacBytes from_number(std::uint64_t value) {
    MacBytes mac{};
    for (auto it = mac.rbegin(); it != mac.rend(); ++it) {
        *it = static_cast<std::uint8_t>(value & 0xff);
        value >>= 8;
    }
    return mac;
}

} // namespace

std::optional<MacBytes> parse_mac(std::string_view text) {
    // "xx:xx:xx:xx:xx:xx" is exactly 17 characters.
    if (text.size() != 17) {
        return std::nullopt;
    }
    MacBytes mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const std::size_t at = i * 3;
        if (i > 0 && text[at - 1] != ':' && text[at - 1] != '-') {
            return std::nullopt;
        }
        const auto high = hex_digit_value(text[at]);
        const auto low = hex_digit_value(text[at + 1]);
        if (!high || !low) {
            return std::nullopt;
        }
        mac[i] = static_cast<std::uint8_t>(*high * 16 + *low);
    }
    return mac;
}

std::string format_mac(const MacBytes& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%.2x-%.2x-%.2x-%.2x-%.2x-%.2x", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

std::optional<MacBytes> offset_mac(const MacBytes& base, std::uint64_t offset) {
    const std::uint64_t start = to_number(base);
    if (offset >= kMacLimit - start) {
        return std::nullopt;
    }
    return from_number(start + offset);
}

std::optional<std::uint64_t> mac_distance(const MacBytes& base, const MacBytes& mac) {
    const std::uint64_t start = to_number(base);
    const std::uint64_t value = to_number(mac);
    if (value < start) {
        return std::nullopt;
    }
    return value - start;
}

} // namespace quillsim
