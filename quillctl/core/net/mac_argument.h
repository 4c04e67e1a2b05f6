#pragma once
// A device's MAC as six raw bytes, read from the command line or a plan, and shown as the main window
// shows it.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillctl {

using Mac = std::array<uint8_t, 6>;

// Six two-digit hex bytes in either case, separated all by '-' or all by ':'
// ("00-1A-2b-3c-4d-5e", "00:1a:2b:3c:4d:5e").
std::optional<Mac> ParseMacArgument(std::string_view text);

// "00-1a-2b-3c-4d-5e".
std::string MacText(const Mac& mac);

} // namespace quillctl
