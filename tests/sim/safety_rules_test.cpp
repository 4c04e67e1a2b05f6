#include "safety_rules.hpp"

#include <gtest/gtest.h>

namespace quillsim {
namespace {

Ipv4 ip(const char* text) { return *parse_ipv4(text); }

TEST(Safety, LabRangesAreExactlyTheTwoDocumentationNetworks) {
    for (const char* inside :
         {"198.51.100.0", "198.51.100.1", "198.51.100.255", "203.0.113.0", "203.0.113.254"}) {
        EXPECT_TRUE(is_lab_unicast(ip(inside))) << inside;
    }
    for (const char* outside : {"198.51.101.1", "198.51.99.255", "203.0.112.1", "203.0.114.1", "192.0.2.1",
                                "10.0.0.1", "127.0.0.1", "235.5.6.7", "255.255.255.255"}) {
        EXPECT_FALSE(is_lab_unicast(ip(outside))) << outside;
    }
}

TEST(Safety, DestinationsAreLabAddressesOrTheTwoDiscoveryGroupsOnly) {
    EXPECT_TRUE(is_allowed_destination(ip("235.5.6.7")));
    EXPECT_TRUE(is_allowed_destination(ip("239.255.255.250"))); // WS-Discovery: Hello and Bye
    EXPECT_TRUE(is_allowed_destination(ip("203.0.113.7")));
    for (const char* outside : {"235.5.6.8", "224.0.0.1", "239.255.255.251", "192.0.2.10", "0.0.0.0"}) {
        EXPECT_FALSE(is_allowed_destination(ip(outside))) << outside;
    }
}

TEST(Safety, RootNamespaceIsRefusedWhenInitsIsKnown) {
    const NamespaceId root{4, 4026531833};
    const NamespaceId lab{4, 4026532173};
    EXPECT_TRUE(check_namespace({root, root, {}}));
    EXPECT_TRUE(check_namespace({root, root, {root}})); // a name for the root namespace does not make it safe
    EXPECT_FALSE(check_namespace({lab, root, {}}));
}

TEST(Safety, WithInitHiddenOnlyAnIpNetnsNamespaceIsAccepted) {
    const NamespaceId own{4, 4026532173};
    EXPECT_TRUE(check_namespace({own, std::nullopt, {}}));
    EXPECT_TRUE(check_namespace({own, std::nullopt, {{4, 4026532999}, {5, 4026532173}}})); // other device
    EXPECT_FALSE(check_namespace({own, std::nullopt, {{4, 4026532999}, own}}));
}

TEST(Safety, EveryNonLoopbackAddressMustBeInTheLab) {
    std::vector<InterfaceAddress> addresses{{"lo", ip("127.0.0.1"), true},
                                            {"veth-a", ip("198.51.100.2"), false},
                                            {"veth-b", ip("203.0.113.2"), false}};
    EXPECT_FALSE(check_interfaces(addresses));
    EXPECT_FALSE(check_interfaces({}));

    addresses.push_back({"eth0", ip("192.0.2.15"), false});
    const auto problem = check_interfaces(addresses);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("eth0"), std::string::npos);
    EXPECT_NE(problem->find("192.0.2.15"), std::string::npos);
}

TEST(Safety, OnlyAddressesUsedOnTheWireAreChecked) {
    Options options;
    options.ip_base = ip("10.0.0.5");     // text in replies only
    options.other_ip = ip("192.168.1.1"); // likewise
    EXPECT_FALSE(check_option_addresses(options));

    Options bind = options;
    bind.bind_ip = ip("192.0.2.1");
    EXPECT_TRUE(check_option_addresses(bind));
    bind.bind_ip = ip("235.5.6.7"); // the group is a destination, not an interface address
    EXPECT_TRUE(check_option_addresses(bind));

    Options raw = options;
    raw.raw_to = ip("10.0.0.1");
    EXPECT_TRUE(check_option_addresses(raw));
    raw.raw_to = ip("235.5.6.7");
    EXPECT_FALSE(check_option_addresses(raw));
}

} // namespace
} // namespace quillsim
