// The device list (one row per MAC and link, bounded) and what each row says: subnet, duplicates, source.
#include <gtest/gtest.h>

#include <cstring>

#include "output/device_rows.h"

namespace quillctl {
namespace {

Ipv4 Ip(const char* text) { return *ParseIpv4(text); }

quillmast::DeviceReply Reply(const std::string& ip, uint8_t last, std::optional<int32_t> port = 80) {
    quillmast::DeviceReply reply;
    std::strncpy(reply.ip, ip.c_str(), sizeof(reply.ip) - 1);
    reply.hasMac = true;
    const uint8_t mac[6] = {0, 0x1a, 0x2b, 0x3c, 0x4d, last};
    std::memcpy(reply.mac, mac, 6);
    reply.hasPort = port.has_value();
    reply.port = port.value_or(0);
    return reply;
}

const std::vector<Link> kLinks = {Link{"lan0", 2, Subnet{Ip("198.51.100.1"), 24}},
                                  Link{"lan1", 3, Subnet{Ip("203.0.113.1"), 24}}};

TEST(DeviceList, OneRowPerMacAndLinkUpdatedByLaterRepliesThere) {
    DeviceList list;
    EXPECT_EQ(list.Apply(Reply("198.51.100.30", 1), 0, Ip("198.51.100.30")), DeviceChange::Added);
    EXPECT_EQ(list.Apply(Reply("198.51.100.30", 1), 0, Ip("198.51.100.30")), DeviceChange::None);
    EXPECT_EQ(list.Apply(Reply("203.0.113.30", 1), 1, Ip("203.0.113.30")), DeviceChange::Added)
        << "the same MAC on another link is a row of its own";
    EXPECT_EQ(list.Apply(Reply("203.0.113.44", 1, std::nullopt), 1, Ip("203.0.113.44")),
              DeviceChange::Changed);
    quillmast::DeviceReply noMac = Reply("198.51.100.31", 2);
    noMac.hasMac = false;
    EXPECT_EQ(list.Apply(noMac, 0, Ip("198.51.100.31")), DeviceChange::Ignored);
    ASSERT_EQ(list.devices().size(), 2u);
    EXPECT_EQ(list.devices()[0].ipText, "198.51.100.30") << "a reply on the other link changes nothing here";
    EXPECT_EQ(list.devices()[0].httpPort, 80);
    EXPECT_EQ(list.devices()[1].ipText, "203.0.113.44");
    EXPECT_EQ(list.devices()[1].httpPort, std::nullopt);
    EXPECT_EQ(list.devices()[1].link, 1u);
    EXPECT_EQ(list.FindAll(list.devices()[0].mac).size(), 2u);
}

TEST(DeviceList, StaysWithinItsCapacity) {
    DeviceList list(3);
    for (uint8_t i = 0; i < 10; ++i)
        list.Apply(Reply("198.51.100.30", i), 0, Ip("198.51.100.30"));
    EXPECT_EQ(list.devices().size(), 3u);
    EXPECT_TRUE(list.overflowed());
    EXPECT_EQ(list.Apply(Reply("198.51.100.99", 2), 0, Ip("198.51.100.99")), DeviceChange::Changed)
        << "known devices are still updated";
}

TEST(DeviceRows, SubnetDuplicatesAndSource) {
    DeviceList list;
    list.Apply(Reply("198.51.100.30", 1), 0, Ip("198.51.100.30"));  // fine
    list.Apply(Reply("192.168.0.10", 2), 0, Ip("192.168.0.10"));    // factory address elsewhere
    list.Apply(Reply("192.168.0.10", 3), 1, Ip("192.168.0.10"));    // the same, on the other link
    list.Apply(Reply("203.0.113.1", 4), 1, Ip("203.0.113.1"));      // this host's address
    list.Apply(Reply("203.0.113.50", 5), 1, Ip("203.0.113.51"));    // answers from another address
    list.Apply(Reply("cam\x1b[2J", 6, -1), 0, Ip("198.51.100.60")); // not an address at all
    std::vector<DeviceRow> rows = BuildRows(list, kLinks, {Ip("203.0.113.1"), Ip("127.0.0.1")});
    ASSERT_EQ(rows.size(), 6u);

    EXPECT_TRUE(rows[0].inSubnet);
    EXPECT_FALSE(rows[0].duplicateIp);
    EXPECT_FALSE(rows[0].sourceDiffers);
    EXPECT_EQ(rows[0].interfaceAddress, "198.51.100.1");
    EXPECT_EQ(rows[0].mac, "00-1a-2b-3c-4d-01");

    EXPECT_FALSE(rows[1].inSubnet);
    EXPECT_TRUE(rows[1].duplicateIp) << "same address on another link still counts";
    EXPECT_TRUE(rows[2].duplicateIp);
    EXPECT_EQ(rows[2].interfaceAddress, "203.0.113.1");

    EXPECT_TRUE(rows[3].duplicateIp) << "this host holds it";
    EXPECT_TRUE(rows[3].inSubnet);

    EXPECT_TRUE(rows[4].sourceDiffers);
    EXPECT_EQ(rows[4].source, "203.0.113.51");

    EXPECT_EQ(rows[5].ip, "cam\\x1b[2J") << "no terminal control byte gets through";
    EXPECT_FALSE(rows[5].inSubnet);
    EXPECT_FALSE(rows[5].duplicateIp);
    EXPECT_TRUE(rows[5].sourceDiffers);
    EXPECT_EQ(rows[5].httpPort, -1);
}

TEST(DeviceRows, AMacOnTwoLinksIsFlaggedAndAtOneAddressIsOneDeviceNotADuplicate) {
    DeviceList list;
    for (size_t link : {0u, 1u})
        list.Apply(Reply("198.51.100.30", 1), link, Ip("198.51.100.30")); // one device seen on both
    list.Apply(Reply("198.51.100.40", 2), 0, Ip("198.51.100.40"));        // two devices, one MAC
    list.Apply(Reply("203.0.113.40", 2), 1, Ip("203.0.113.40"));
    list.Apply(Reply("198.51.100.50", 3), 0, Ip("198.51.100.50"));
    std::vector<DeviceRow> rows = BuildRows(list, kLinks, {});
    ASSERT_EQ(rows.size(), 5u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(rows[i].duplicateMac) << i;
        EXPECT_FALSE(rows[i].duplicateIp) << i;
    }
    EXPECT_FALSE(rows[4].duplicateMac);
}

TEST(DeviceRows, TextThatNamesNoAddressIsNeverADuplicate) {
    DeviceList list;
    list.Apply(Reply("", 1), 0, Ip("198.51.100.30"));
    list.Apply(Reply("", 2), 0, Ip("198.51.100.31"));
    for (const DeviceRow& row : BuildRows(list, kLinks, {}))
        EXPECT_FALSE(row.duplicateIp);
}

} // namespace
} // namespace quillctl
