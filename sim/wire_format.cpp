#include "wire_format.hpp"

#include <algorithm>
#include <cstring>

namespace quillsim {

namespace {

constexpr char kSearchText[] = "PV_SearchNetDevice";
constexpr char kChangeText[] = "PV_ChangeDeviceIp";
constexpr std::size_t kChangeMarkerOffset = 18;
constexpr std::uint8_t kChangeMarker = 0x01;
constexpr std::size_t kChangeMacOffset = 19;
constexpr std::size_t kChangeAddressOffset = 25;
constexpr std::size_t kChangeAddressSize = 16;

// text plus its terminating zero, compared with the datagram's first bytes.
bool starts_with_text(std::span<const std::uint8_t> datagram, const char* text) {
    const std::size_t size = std::strlen(text) + 1;
    return datagram.size() >= size && std::memcmp(datagram.data(), text, size) == 0;
}

ChangeCommand read_change_command(std::span<const std::uint8_t> datagram) {
    ChangeCommand command;
    std::copy_n(datagram.begin() + kChangeMacOffset, command.mac.size(), command.mac.begin());
    const auto field = datagram.subspan(kChangeAddressOffset, kChangeAddressSize);
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    command.address_text.assign(field.begin(), end);
    return command;
}

} // namespace

ClassifiedRequest classify_request(std::span<const std::uint8_t> datagram) {
    if (datagram.size() == kSearchRequestSize && starts_with_text(datagram, kSearchText)) {
        return {RequestKind::search, std::nullopt};
    }
    if (datagram.size() == kChangeCommandSize && starts_with_text(datagram, kChangeText) &&
        datagram[kChangeMarkerOffset] == kChangeMarker) {
        return {RequestKind::change, read_change_command(datagram)};
    }
    return {};
}

std::vector<std::uint8_t> build_reply(std::string_view ip_text, std::optional<int> http_port,
                                      const MacBytes& mac) {
    std::string text(ip_text);
    text += ':';
    if (http_port) {
        text += "HTTP" + std::to_string(*http_port) + ',';
    }
    text += "MAC";
    std::vector<std::uint8_t> reply(text.begin(), text.end());
    reply.insert(reply.end(), mac.begin(), mac.end());
    return reply;
}

} // namespace quillsim
