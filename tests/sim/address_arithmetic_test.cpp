#include "base/ipv4_address.hpp"
#include "mac_address.hpp"

#include <gtest/gtest.h>

namespace quillsim {
namespace {

TEST(MacAddress, ParsesBothSeparatorsAndEitherCase) {
    const MacBytes expected{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    EXPECT_EQ(parse_mac("00:1a:2b:3c:4d:5e"), expected);
    EXPECT_EQ(parse_mac("00-1A-2B-3C-4D-5E"), expected);
}

TEST(MacAddress, RejectsMalformedText) {
    for (const char* text : {"", "00:1a:2b:3c:4d", "00:1a:2b:3c:4d:5e:", "00:1a:2b:3c:4d:5g",
                             "001a:2b:3c:4d:5e:f", "00.1a.2b.3c.4d.5e", " 0:1a:2b:3c:4d:5e"}) {
        EXPECT_FALSE(parse_mac(text)) << text;
    }
}

TEST(MacAddress, FormatsAsTheProgramShowsIt) {
    EXPECT_EQ(format_mac({0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xfe}), "00-1a-2b-3c-4d-fe");
}

TEST(MacAddress, OffsetCarriesAcrossBytes) {
    const MacBytes base{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xff};
    EXPECT_EQ(offset_mac(base, 1), (MacBytes{0x00, 0x1a, 0x2b, 0x3c, 0x4e, 0x00}));
    EXPECT_EQ(offset_mac({0x00, 0x1a, 0x2b, 0xff, 0xff, 0xf0}, 0x20),
              (MacBytes{0x00, 0x1a, 0x2c, 0x00, 0x00, 0x10}));
    EXPECT_EQ(offset_mac(base, 0), base);
}

TEST(MacAddress, OffsetStopsAtTheLastAddress) {
    const MacBytes last{0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    EXPECT_EQ(offset_mac({0xff, 0xff, 0xff, 0xff, 0xff, 0xfe}, 1), last);
    EXPECT_FALSE(offset_mac(last, 1));
    EXPECT_FALSE(offset_mac({0, 0, 0, 0, 0, 1}, std::uint64_t{1} << 48));
}

TEST(MacAddress, DistanceInvertsOffset) {
    const MacBytes base{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xf0};
    EXPECT_EQ(mac_distance(base, *offset_mac(base, 9999)), 9999u);
    EXPECT_FALSE(mac_distance(base, {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xef}));
}

TEST(Ipv4Address, ParsesOnlyWhatPrintfDecimalProduces) {
    EXPECT_EQ(parse_ipv4("10.0.0.1"), Ipv4{0x0A000001});
    EXPECT_EQ(parse_ipv4("255.255.255.255"), Ipv4{0xffffffff});
    EXPECT_EQ(parse_ipv4("0.0.0.0"), Ipv4{0});
    for (const char* text : {"", "10.0.0", "10.0.0.1.", "10.0.0.256", "010.0.0.1", "10.0.0.1x", "10..0.1",
                             " 10.0.0.1", "1000.0.0.1", "-1.0.0.1", "10.0.0.1 "}) {
        EXPECT_FALSE(parse_ipv4(text)) << text;
    }
}

TEST(Ipv4Address, FormatsAndOffsetsWithCarry) {
    EXPECT_EQ(format_ipv4(Ipv4{0xC6336401}), "198.51.100.1");
    EXPECT_EQ(format_ipv4(*offset_ipv4(*parse_ipv4("198.51.100.250"), 10)), "198.51.101.4");
    EXPECT_FALSE(offset_ipv4(Ipv4{0xffffffff}, 1));
}

TEST(Ipv4Address, SubnetMembership) {
    const Ipv4 net = *parse_ipv4("198.51.100.0");
    EXPECT_TRUE(in_subnet(*parse_ipv4("198.51.100.255"), net, 24));
    EXPECT_FALSE(in_subnet(*parse_ipv4("198.51.101.0"), net, 24));
    EXPECT_TRUE(in_subnet(net, *parse_ipv4("198.51.100.0"), 32));
    EXPECT_TRUE(in_subnet(*parse_ipv4("1.2.3.4"), net, 0));
}

} // namespace
} // namespace quillsim
