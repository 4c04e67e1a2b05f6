// MAC and address arguments, the refused addresses, and the choice of links.
#include <gtest/gtest.h>

#include "plan/address_rules.h"
#include "net/links.h"
#include "net/mac_argument.h"

namespace quillctl {
namespace {

Ipv4 Ip(const char* text) { return *ParseIpv4(text); }

TEST(MacArgument, TakesDashesOrColonsInEitherCase) {
    const Mac expected{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    for (const char* text : {"00-1a-2b-3c-4d-5e", "00:1A:2B:3C:4D:5E", "00-1A-2b-3C-4d-5E"})
        EXPECT_EQ(ParseMacArgument(text), expected) << text;
    EXPECT_EQ(MacText(expected), "00-1a-2b-3c-4d-5e");
}

TEST(MacArgument, RefusesAnythingElse) {
    for (const char* text : {"", "00-1a-2b-3c-4d", "00-1a-2b-3c-4d-5e-6f", "00-1a:2b-3c-4d-5e",
                             "001a.2b3c.4d5e", "00-1a-2b-3c-4d-5g", "+0-1a-2b-3c-4d-5e", " 0-1a-2b-3c-4d-5e",
                             "00_1a_2b_3c_4d_5e", "0-01a-2b-3c-4d-5e"})
        EXPECT_FALSE(ParseMacArgument(text)) << text;
}

TEST(Ipv4Text, OnlyTheStrictDottedForm) {
    EXPECT_EQ(ParseIpv4("198.51.100.40"), Ipv4{0xc6336428});
    EXPECT_EQ(FormatIpv4(Ipv4{0xc6336428}), "198.51.100.40");
    for (const char* text : {"", "1.2.3", "1.2.3.4.5", "01.2.3.4", "1.2.3.256", " 1.2.3.4", "1.2.3.4 ",
                             "1.2.3.-4", "1..3.4", "0x1.2.3.4", "1.2.3.4/24"})
        EXPECT_FALSE(ParseIpv4(text)) << text;
    EXPECT_FALSE(ParseIpv4(std::string_view("1.2.3.4\0"
                                            "5",
                                            9)))
        << "a zero byte inside";
}

TEST(AddressRules, ClassesNoDeviceCanTake) {
    EXPECT_NE(RefusalOf(Ip("0.1.2.3"), nullptr), "");
    EXPECT_NE(RefusalOf(Ip("127.0.0.5"), nullptr), "");
    EXPECT_NE(RefusalOf(Ip("224.0.0.1"), nullptr), "");
    EXPECT_NE(RefusalOf(Ip("255.255.255.255"), nullptr), "");
    EXPECT_EQ(RefusalOf(Ip("223.255.255.254"), nullptr), "");
    EXPECT_EQ(RefusalOf(Ip("1.0.0.0"), nullptr), "");
}

TEST(AddressRules, SubnetAndBroadcastAddressOfTheLink) {
    Link link{"lan0", 2, Subnet{Ip("198.51.100.1"), 24}};
    EXPECT_NE(RefusalOf(Ip("198.51.100.0"), &link).find("subnet address"), std::string::npos);
    EXPECT_NE(RefusalOf(Ip("198.51.100.255"), &link).find("broadcast address"), std::string::npos);
    EXPECT_EQ(RefusalOf(Ip("198.51.100.254"), &link), "");
    // Another subnet's .0 is an ordinary address as far as this link can tell.
    EXPECT_EQ(RefusalOf(Ip("203.0.113.0"), &link), "");
    Link pointToPoint{"p2p", 3, Subnet{Ip("203.0.113.0"), 31}};
    EXPECT_EQ(RefusalOf(Ip("203.0.113.1"), &pointToPoint), "");
}

std::vector<HostInterface> Interfaces() {
    return {HostInterface{"lo", 1, true, true, {{Ip("127.0.0.1"), 8}}},
            HostInterface{"eth0", 2, true, false, {{Ip("198.51.100.1"), 24}, {Ip("198.51.100.9"), 24}}},
            HostInterface{"wlan0", 3, true, false, {{Ip("203.0.113.7"), 24}}},
            HostInterface{"eth1", 4, false, false, {{Ip("192.168.7.1"), 24}}},
            HostInterface{"tun0", 5, true, false, {}}};
}

TEST(LinkSelection, EveryUpNonLoopbackAddressByDefault) {
    LinkSelection all = SelectLinks(Interfaces(), {});
    ASSERT_EQ(all.error, "");
    ASSERT_EQ(all.links.size(), 3u);
    EXPECT_EQ(all.links[0].Address(), Ip("198.51.100.1"));
    EXPECT_EQ(all.links[1].Address(), Ip("198.51.100.9"));
    EXPECT_EQ(all.links[2].name, "wlan0");
    EXPECT_NE(SelectLinks({Interfaces()[0], Interfaces()[3]}, {}).error, "")
        << "only loopback and a down card";
}

TEST(LinkSelection, ByNameOrByOneAddress) {
    LinkSelection byName = SelectLinks(Interfaces(), {"WLAN0"});
    ASSERT_EQ(byName.links.size(), 1u);
    EXPECT_EQ(byName.links[0].index, 3u);
    LinkSelection byAddress = SelectLinks(Interfaces(), {"198.51.100.9", "wlan0", "203.0.113.7"});
    ASSERT_EQ(byAddress.links.size(), 2u) << "named twice, searched once";
    EXPECT_EQ(byAddress.links[0].Address(), Ip("198.51.100.9"));
}

TEST(LinkSelection, UnusableNamesAreErrors) {
    EXPECT_NE(SelectLinks(Interfaces(), {"eth9"}).error.find("no interface named"), std::string::npos);
    EXPECT_NE(SelectLinks(Interfaces(), {"10.9.9.9"}).error, "");
    EXPECT_NE(SelectLinks(Interfaces(), {"eth1"}).error.find("down"), std::string::npos);
    EXPECT_NE(SelectLinks(Interfaces(), {"tun0"}).error.find("no IPv4"), std::string::npos);
    EXPECT_NE(SelectLinks(Interfaces(), {"lo"}).error.find("loopback"), std::string::npos);
    EXPECT_TRUE(SelectLinks(Interfaces(), {"eth0", "eth9"}).links.empty());
    EXPECT_EQ(HostAddresses(Interfaces()).size(), 5u) << "every address, down cards and loopback too";
}

TEST(ArrivalLink, ByIndexThenDestinationThenSubnet) {
    std::vector<Link> links = SelectLinks(Interfaces(), {}).links;
    // Two addresses on eth0: the one whose subnet holds the sender.
    EXPECT_EQ(ArrivalLink(links, {Ip("198.51.100.30"), 2u, std::nullopt}), 0u);
    EXPECT_EQ(ArrivalLink(links, {Ip("10.0.0.5"), 3u, std::nullopt}), 2u)
        << "outside every subnet, index decides";
    EXPECT_EQ(ArrivalLink(links, {Ip("203.0.113.5"), 4u, std::nullopt}), std::nullopt)
        << "an interface we do not search on";
    EXPECT_EQ(ArrivalLink(links, {Ip("10.0.0.5"), std::nullopt, Ip("198.51.100.9")}), 1u);
    EXPECT_EQ(ArrivalLink(links, {Ip("203.0.113.80"), std::nullopt, Ip("235.5.6.7")}), 2u);
    EXPECT_EQ(ArrivalLink(links, {Ip("10.0.0.5"), std::nullopt, std::nullopt}), std::nullopt);
    EXPECT_EQ(ArrivalLink({links[2]}, {Ip("10.0.0.5"), std::nullopt, std::nullopt}), 0u);
}

} // namespace
} // namespace quillctl
