#pragma once

// Requests as the program puts them on the wire, built independently of the simulator's own parser.

#include "mac_address.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace quillsim::test {

inline std::vector<std::uint8_t> search_request() {
    const char text[] = "PV_SearchNetDevice";
    return std::vector<std::uint8_t>(text, text + sizeof text); // with the terminating zero
}

// garbage fills the address field after the text's zero, as the program leaves it.
inline std::vector<std::uint8_t> change_command(const MacBytes& mac, const std::string& address,
                                                std::uint8_t garbage = 0xcc) {
    std::vector<std::uint8_t> bytes(41, garbage);
    std::memcpy(bytes.data(), "PV_ChangeDeviceIp", 18);
    bytes[18] = 0x01;
    std::copy(mac.begin(), mac.end(), bytes.begin() + 19);
    const std::size_t length = std::min<std::size_t>(address.size(), 16);
    std::memcpy(bytes.data() + 25, address.data(), length);
    if (length < 16) {
        bytes[25 + length] = 0;
    }
    return bytes;
}

} // namespace quillsim::test
