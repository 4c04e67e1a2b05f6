#include "flood_mix.hpp"
#include "options.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string_view>
#include <vector>

namespace quillsim {
namespace {

bool contains(const std::vector<std::uint8_t>& bytes, std::string_view text) {
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

TEST(FloodPool, TenThousandDistinctMacsWithoutAZeroByte) {
    std::set<MacBytes> seen;
    for (std::size_t i = 0; i < kFloodPoolSize; ++i) {
        const MacBytes mac = flood_pool_mac(i);
        EXPECT_EQ(std::count(mac.begin(), mac.end(), 0), 0) << i;
        seen.insert(mac);
    }
    EXPECT_EQ(seen.size(), kFloodPoolSize);
    EXPECT_EQ(format_mac(flood_pool_mac(0)), "02-f1-a0-01-01-01");
    EXPECT_EQ(flood_pool_ip(0), "198.51.100.10");
    EXPECT_EQ(flood_pool_ip(239), "198.51.100.249");
    EXPECT_EQ(flood_pool_ip(240), "198.51.100.10");
}

TEST(FloodMix, EveryKindAppearsWithItsShape) {
    FloodMix mix(7);
    std::array<int, kFloodKindCount> seen{};
    for (int i = 0; i < 20000; ++i) {
        const FloodDatagram d = mix.next();
        ++seen[static_cast<std::size_t>(d.kind)];
        const auto& b = d.bytes;
        switch (d.kind) {
        case FloodKind::reply:
            ASSERT_EQ(b.back(), 0);
            ASSERT_EQ(std::count(b.begin(), b.end(), 0), 1);
            break;
        case FloodKind::random_bytes:
            ASSERT_LE(b.size(), kFloodMaxRandomSize);
            ASSERT_EQ(std::count(b.begin(), b.end(), 'M'), 0);
            break;
        case FloodKind::full_buffer:
            ASSERT_EQ(b.size(), kFloodFullBufferSize);
            ASSERT_EQ(std::count(b.begin(), b.end(), 0), 0);
            break;
        case FloodKind::oversized:
            ASSERT_EQ(b.size(), kFloodOversizedSize);
            ASSERT_EQ(std::count(b.begin(), b.end(), 0), 0);
            break;
        case FloodKind::no_zero:
            ASSERT_EQ(std::count(b.begin(), b.end(), 0), 0);
            ASSERT_TRUE(contains(b, "MAC"));
            break;
        case FloodKind::marker_at_end: {
            const auto mac = std::search(b.begin(), b.end(), "MAC", "MAC" + 3);
            ASSERT_TRUE(mac == b.end() || b.end() - mac < 3 + 6) << "a whole MAC after the marker";
            break;
        }
        default:
            FAIL() << "a WS-Discovery datagram in the mix for our reply port";
        }
    }
    for (std::size_t kind = 0; kind < kFloodQuillKindCount; ++kind) {
        EXPECT_GT(seen[kind], 500) << flood_kind_name(static_cast<FloodKind>(kind));
    }
    EXPECT_GT(seen[0], 9000) << "half of the mix names devices plainly";
}

TEST(FloodMix, TheSameSeedGivesTheSameStream) {
    FloodMix a(42), b(42), c(43);
    bool differs = false;
    for (int i = 0; i < 200; ++i) {
        const auto x = a.next(), y = b.next(), z = c.next();
        ASSERT_EQ(x.bytes, y.bytes);
        differs = differs || x.bytes != z.bytes;
    }
    EXPECT_TRUE(differs);
}

TEST(FloodOptions, RunsAloneForAPositiveTime) {
    const auto parse = [](std::vector<std::string_view> args) { return parse_options(args); };
    const auto ok = parse({"--flood", "30", "--raw-to", "198.51.100.1", "--seed", "5"});
    ASSERT_TRUE(ok.options) << ok.error;
    EXPECT_EQ(ok.options->flood_s, 30.0);
    EXPECT_FALSE(parse({"--flood", "0"}).options);
    EXPECT_FALSE(parse({"--flood", "x"}).options);
    EXPECT_FALSE(parse({"--flood", "5", "--raw", "00"}).options);
    EXPECT_FALSE(parse({"--flood", "5", "--duration", "5"}).options);
}

} // namespace
} // namespace quillsim
