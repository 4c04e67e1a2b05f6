#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillsim {

using MacBytes = std::array<std::uint8_t, 6>;

// Accepts six two-digit hex bytes separated by ':' or '-', in either case.
std::optional<MacBytes> parse_mac(std::string_view text);

// Lower case and '-'-separated: the form the program shows in its device list, so a test can compare the
// simulator's log with what the program displays without converting.
std::string format_mac(const MacBytes& mac);

// The MAC read as one 48-bit number plus offset; nothing if that passes ff-ff-ff-ff-ff-ff.
std::optional<MacBytes> offset_mac(const MacBytes& base, std::uint64_t offset);

// How far mac lies above base as 48-bit numbers; nothing if it lies below.
std::optional<std::uint64_t> mac_distance(const MacBytes& base, const MacBytes& mac);

} // namespace quillsim
