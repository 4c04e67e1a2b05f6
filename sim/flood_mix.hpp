#pragma once

#include "mac_address.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace quillsim {

// A stream of hostile datagrams for the program's reply port: what any host on a LAN could send, at any
// rate. Every datagram that names a device names one of kFloodPoolSize pool devices with that device's
// fixed address text, so whatever the program lists can be checked against the pool afterwards.
inline constexpr std::size_t kFloodPoolSize = 10000;
inline constexpr std::size_t kFloodFullBufferSize = 512;
inline constexpr std::size_t kFloodOversizedSize = 65000;
inline constexpr std::size_t kFloodMaxRandomSize = 1472; // one Ethernet frame's worth

enum class FloodKind : std::size_t {
    reply,         // a well-formed answer of a pool device, ended by a zero byte
    random_bytes,  // noise; it never holds "MAC", so it can never name a device
    full_buffer,   // a pool answer padded with non-zero bytes to exactly 512 bytes
    oversized,     // a pool answer padded to 65,000 bytes: only its head fits the program's buffer
    no_zero,       // a pool answer that holds no zero byte at all, not even in the MAC
    marker_at_end, // ends in ":", "HTTP", "MAC" or a MAC cut short: names no device
    // WS-Discovery (--flood-onvif, see onvif_flood_mix.hpp); never part of FloodMix.
    onvif_unresolved, // an answer to the probe naming a new endpoint without an address
    onvif_hello,      // a Hello of a new endpoint without an address
    onvif_crowded,    // an answer with hundreds of attributes and decoy elements
};
inline constexpr std::size_t kFloodKindCount = 9;
inline constexpr std::size_t kFloodQuillKindCount = 6; // the kinds of FloodMix, the first ones

std::string_view flood_kind_name(FloodKind kind);

// Pool device `index` (below kFloodPoolSize): a locally administered MAC none of whose bytes is zero, and
// an address text that depends on the MAC alone.
MacBytes flood_pool_mac(std::size_t index);
std::string flood_pool_ip(std::size_t index);

// What a flood run sent, per kind.
struct FloodTally {
    std::array<std::uint64_t, kFloodKindCount> sent{};
    std::uint64_t bytes = 0;
    std::uint64_t errors = 0;
};

struct FloodDatagram {
    FloodKind kind = FloodKind::reply;
    std::vector<std::uint8_t> bytes;
};

class FloodMix {
  public:
    explicit FloodMix(std::uint64_t seed);

    // The next datagram. Valid replies make up half of the mix, so that a receiver taking only a few
    // datagrams a second still fills its table; pool devices are named in turn, all 10,000 of them.
    FloodDatagram next();

  private:
    std::size_t next_device();
    std::vector<std::uint8_t> pool_reply(std::size_t device, bool with_port);
    void pad_without_zero(std::vector<std::uint8_t>& bytes, std::size_t size);
    std::vector<std::uint8_t> random_noise();
    std::vector<std::uint8_t> marker_at_end();

    std::mt19937_64 random_;
    std::discrete_distribution<std::size_t> kinds_;
    std::size_t next_device_ = 0;
};

} // namespace quillsim
