#include "net/mac_argument.h"

#include <charconv>

#include "device_table.h"

namespace quillctl {

std::optional<Mac> ParseMacArgument(std::string_view text) {
    constexpr size_t kLength = 17; // six pairs and five separators
    if (text.size() != kLength)
        return std::nullopt;
    const char separator = text[2];
    if (separator != '-' && separator != ':')
        return std::nullopt;
    Mac mac{};
    for (size_t i = 0; i < mac.size(); ++i) {
        const char* pair = text.data() + i * 3;
        if (i > 0 && pair[-1] != separator)
            return std::nullopt;
        // from_chars takes a sign or fewer digits too: insist on two hex digits.
        auto isHex = [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        };
        if (!isHex(pair[0]) || !isHex(pair[1]))
            return std::nullopt;
        unsigned value = 0;
        std::from_chars(pair, pair + 2, value, 16);
        mac[i] = static_cast<uint8_t>(value);
    }
    return mac;
}

std::string MacText(const Mac& mac) {
    char text[18];
    quillmast::FormatMac(mac.data(), text);
    return text;
}

} // namespace quillctl
