#pragma once

#include "base/ipv4_address.hpp"
#include "mac_address.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillsim {

inline constexpr Ipv4 kDiscoveryGroup{0xEB050607}; // 235.5.6.7
inline constexpr std::uint16_t kRequestPort = 5556;
inline constexpr std::uint16_t kReplyPort = 5555;

inline constexpr std::size_t kSearchRequestSize = 19;
inline constexpr std::size_t kChangeCommandSize = 41;
// The most an IPv4 UDP datagram can carry.
inline constexpr std::size_t kMaxUdpPayload = 65507;

enum class RequestKind { search, change, other };

struct ChangeCommand {
    MacBytes mac{};
    // The address field up to its first zero byte, as raw bytes: it is logged as sent, and only a valid
    // dotted address is acted on.
    std::string address_text;
};

struct ClassifiedRequest {
    RequestKind kind = RequestKind::other;
    std::optional<ChangeCommand> change; // set exactly when kind is change
};

// The program always sends the two requests at their exact sizes, so anything else (a search with trailing
// bytes, a truncated command) is "other": the devices ignore it and the log shows it, which exposes a sender
// bug instead of hiding it.
ClassifiedRequest classify_request(std::span<const std::uint8_t> datagram);

// "<ip>:HTTP<port>,MAC" or, without a port, "<ip>:MAC", followed by the six raw MAC bytes and nothing else.
std::vector<std::uint8_t> build_reply(std::string_view ip_text, std::optional<int> http_port,
                                      const MacBytes& mac);

} // namespace quillsim
