#include "flood_mix.hpp"

#include "wire_format.hpp"

namespace quillsim {

namespace {

// Out of 20: half are plain answers, the rest spread over the awkward shapes.
constexpr std::array<int, kFloodQuillKindCount> kWeights{10, 3, 2, 1, 2, 2};

std::uint8_t non_zero_byte(std::mt19937_64& random) {
    return static_cast<std::uint8_t>(std::uniform_int_distribution<int>(1, 255)(random));
}

} // namespace

std::string_view flood_kind_name(FloodKind kind) {
    static constexpr std::array<std::string_view, kFloodKindCount> kNames{
        "reply",         "random_bytes",     "full_buffer", "oversized",    "no_zero",
        "marker_at_end", "onvif_unresolved", "onvif_hello", "onvif_crowded"};
    return kNames[static_cast<std::size_t>(kind)];
}

MacBytes flood_pool_mac(std::size_t index) {
    // Base 250 digits shifted by one keep every byte non-zero; 02 marks a locally administered address.
    return MacBytes{0x02,
                    0xf1,
                    0xa0,
                    static_cast<std::uint8_t>(index / (250 * 250) + 1),
                    static_cast<std::uint8_t>(index / 250 % 250 + 1),
                    static_cast<std::uint8_t>(index % 250 + 1)};
}

std::string flood_pool_ip(std::size_t index) { return "198.51.100." + std::to_string(10 + index % 240); }

FloodMix::FloodMix(std::uint64_t seed) : random_(seed), kinds_(kWeights.begin(), kWeights.end()) {}

FloodDatagram FloodMix::next() {
    FloodDatagram datagram;
    datagram.kind = static_cast<FloodKind>(kinds_(random_));
    switch (datagram.kind) {
    case FloodKind::reply:
        // Terminated like a C string, as most devices send it; one in four names no port.
        datagram.bytes = pool_reply(next_device(), random_() % 4 != 0);
        datagram.bytes.push_back(0);
        break;
    case FloodKind::random_bytes:
        datagram.bytes = random_noise();
        break;
    case FloodKind::full_buffer:
        datagram.bytes = pool_reply(next_device(), true);
        pad_without_zero(datagram.bytes, kFloodFullBufferSize);
        break;
    case FloodKind::oversized:
        datagram.bytes = pool_reply(next_device(), true);
        pad_without_zero(datagram.bytes, kFloodOversizedSize);
        break;
    case FloodKind::no_zero:
        datagram.bytes = pool_reply(next_device(), true);
        break;
    case FloodKind::marker_at_end:
    default: // the WS-Discovery kinds have no weight here
        datagram.bytes = marker_at_end();
        break;
    }
    return datagram;
}

std::size_t FloodMix::next_device() {
    const std::size_t device = next_device_;
    next_device_ = (next_device_ + 1) % kFloodPoolSize;
    return device;
}

std::vector<std::uint8_t> FloodMix::pool_reply(std::size_t device, bool with_port) {
    const auto port = with_port ? std::optional<int>(static_cast<int>(1 + random_() % 65535)) : std::nullopt;
    return build_reply(flood_pool_ip(device), port, flood_pool_mac(device));
}

// Non-zero filler, so the program's text scan runs through all of it to the end of its buffer.
void FloodMix::pad_without_zero(std::vector<std::uint8_t>& bytes, std::size_t size) {
    while (bytes.size() < size) {
        bytes.push_back(non_zero_byte(random_));
    }
}

std::vector<std::uint8_t> FloodMix::random_noise() {
    const auto size = std::uniform_int_distribution<std::size_t>(0, kFloodMaxRandomSize)(random_);
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(random_());
        if (byte == 'M') {
            byte = 'N';
        }
    }
    return bytes;
}

std::vector<std::uint8_t> FloodMix::marker_at_end() {
    const std::size_t device = static_cast<std::size_t>(random_() % kFloodPoolSize);
    const std::string ip = flood_pool_ip(device);
    const MacBytes mac = flood_pool_mac(device);
    std::string text;
    switch (random_() % 4) {
    case 0:
        text = ip + ":";
        break;
    case 1:
        text = ip + ":HTTP";
        break;
    case 2:
        text = ip + ":HTTP80,MAC";
        break;
    default:
        // "MAC" and fewer than six bytes after it: a MAC cut short by the end of the datagram.
        text = ip + ":HTTP80,MAC" + std::string(mac.begin(), mac.begin() + 1 + random_() % 5);
        break;
    }
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

} // namespace quillsim
