#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillsim {

std::optional<int> hex_digit_value(char c);

// Hex digits in pairs; spaces, tabs and newlines between the pairs are ignored so that a dump can be pasted.
// An empty or all-blank text is an empty datagram, which is itself a useful hostile input.
std::optional<std::vector<std::uint8_t>> parse_hex_bytes(std::string_view text);

// Lower-case hex, two digits per byte, no separators.
std::string format_hex_bytes(std::span<const std::uint8_t> bytes);

} // namespace quillsim
