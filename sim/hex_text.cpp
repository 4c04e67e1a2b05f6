#include "hex_text.hpp"

namespace quillsim {

std::optional<int> hex_digit_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> parse_hex_bytes(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    std::optional<int> pending_high;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            // A blank may not split the two digits of one byte: "4 1" is more likely a typo than 0x41.
            if (pending_high) {
                return std::nullopt;
            }
            continue;
        }
        const auto digit = hex_digit_value(c);
        if (!digit) {
            return std::nullopt;
        }
        if (pending_high) {
            bytes.push_back(static_cast<std::uint8_t>(*pending_high * 16 + *digit));
            pending_high.reset();
        } else {
            pending_high = digit;
        }
    }
    if (pending_high) {
        return std::nullopt;
    }
    return bytes;
}

std::string format_hex_bytes(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0f]);
    }
    return text;
}

} // namespace quillsim
