#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "device_table.h"

using namespace quillmast;

namespace {

DeviceReply Reply(const char* ip, int mac, bool hasPort = true, int32_t port = 80) {
    DeviceReply r;
    std::strncpy(r.ip, ip, sizeof(r.ip) - 1);
    r.hasPort = hasPort;
    r.port = port;
    r.hasMac = true;
    const uint8_t bytes[6] = {
        0x00, 0x1A, 0x2B, 0x3C, static_cast<uint8_t>(mac >> 8), static_cast<uint8_t>(mac)};
    std::memcpy(r.mac, bytes, 6);
    return r;
}

struct TableTest : ::testing::Test {
    std::unique_ptr<DeviceTable> table = std::make_unique<DeviceTable>();
    void SetUp() override { table->ResetDevices(); }
};

} // namespace

TEST_F(TableTest, FirstReplyAddsRowZeroWithItsPort) {
    ReplyOutcome out = table->ApplyReply(Reply("198.51.100.30", 1, true, 8080), nullptr);
    EXPECT_EQ(out.effect, ReplyEffect::Added);
    EXPECT_EQ(out.row, 0);
    EXPECT_EQ(table->m_nDeviceCount, 1);
    EXPECT_STREQ(table->m_DeviceIp[0], "198.51.100.30");
    EXPECT_EQ(table->m_DeviceHttpPort[0], 8080);
    char text[18];
    FormatMac(table->m_DeviceMac[0], text);
    EXPECT_STREQ(text, "00-1a-2b-3c-00-01");
}

TEST_F(TableTest, SameReplyAgainChangesNothing) {
    table->ApplyReply(Reply("198.51.100.30", 1), nullptr);
    table->m_ipChangedRows.reset();
    ReplyOutcome out = table->ApplyReply(Reply("198.51.100.30", 1, true, 9999), nullptr);
    EXPECT_EQ(out.effect, ReplyEffect::Unchanged);
    EXPECT_EQ(table->m_nDeviceCount, 1);
    EXPECT_EQ(table->m_DeviceHttpPort[0], 80);
    EXPECT_FALSE(table->m_ipChangedRows.any());
}

TEST_F(TableTest, NewIpKeepsRowNumberMacAndPort) {
    table->ApplyReply(Reply("198.51.100.30", 1), nullptr);
    table->ApplyReply(Reply("198.51.100.31", 2), nullptr);
    ReplyOutcome out = table->ApplyReply(Reply("198.51.100.99", 1, true, 8080), nullptr);
    EXPECT_EQ(out.effect, ReplyEffect::IpChanged);
    EXPECT_EQ(out.row, 0);
    EXPECT_STREQ(table->m_DeviceIp[0], "198.51.100.99");
    EXPECT_EQ(table->m_DeviceHttpPort[0], 80);
    EXPECT_EQ(table->m_DeviceMac[0][5], 1);
    EXPECT_EQ(table->m_nDeviceCount, 2);
    EXPECT_TRUE(table->m_ipChangedRows.test(0));
    EXPECT_FALSE(table->m_ipChangedRows.test(1));
}

TEST_F(TableTest, EmptyIpTextEmptiesAKnownRow) {
    table->ApplyReply(Reply("198.51.100.30", 1), nullptr);
    EXPECT_EQ(table->ApplyReply(Reply("", 1), nullptr).effect, ReplyEffect::IpChanged);
    EXPECT_STREQ(table->m_DeviceIp[0], "");
}

TEST_F(TableTest, ReplyWithoutMacIsIgnored) {
    DeviceReply r = Reply("198.51.100.30", 1);
    r.hasMac = false;
    EXPECT_EQ(table->ApplyReply(r, nullptr).effect, ReplyEffect::Ignored);
    EXPECT_EQ(table->m_nDeviceCount, 0);
}

TEST_F(TableTest, The257thMacIsNotAdded) {
    for (int i = 0; i < MAX_DEVICES; ++i)
        ASSERT_EQ(table->ApplyReply(Reply("198.51.100.1", i), nullptr).effect, ReplyEffect::Added);
    EXPECT_EQ(table->ApplyReply(Reply("198.51.100.1", 256), nullptr).effect, ReplyEffect::TableFull);
    EXPECT_EQ(table->m_nDeviceCount, MAX_DEVICES);
    EXPECT_EQ(table->DeviceCountUnlocked(), MAX_DEVICES);
    // Known devices may still change their address, and confirm a pending change, while a new
    // device is still refused.
    EXPECT_EQ(table->ApplyReply(Reply("198.51.100.2", 255), nullptr).effect, ReplyEffect::IpChanged);
    EXPECT_STREQ(table->m_DeviceIp[255], "198.51.100.2");
    uint8_t pending[6];
    std::memcpy(pending, table->m_DeviceMac[200], 6);
    ReplyOutcome confirmed = table->ApplyReply(Reply("203.0.113.7", 200), pending);
    EXPECT_EQ(confirmed.effect, ReplyEffect::IpChanged);
    EXPECT_EQ(confirmed.row, 200);
    EXPECT_TRUE(confirmed.confirmsChange);
    EXPECT_EQ(table->ApplyReply(Reply("198.51.100.3", 300), pending).effect, ReplyEffect::TableFull);
    EXPECT_EQ(table->m_nDeviceCount, MAX_DEVICES);
}

TEST_F(TableTest, ConfirmationRules) {
    table->ApplyReply(Reply("198.51.100.30", 1), nullptr);
    table->ApplyReply(Reply("198.51.100.31", 2), nullptr);
    const uint8_t* target = table->m_DeviceMac[0];
    uint8_t pending[6];
    std::memcpy(pending, target, 6);
    // The target with the address the table already holds: not a confirmation.
    EXPECT_FALSE(table->ApplyReply(Reply("198.51.100.30", 1), pending).confirmsChange);
    // Another device with a new address: its row changes, the change stays pending.
    ReplyOutcome other = table->ApplyReply(Reply("198.51.100.77", 2), pending);
    EXPECT_EQ(other.effect, ReplyEffect::IpChanged);
    EXPECT_FALSE(other.confirmsChange);
    // The target with any other address confirms, whether or not it is the one asked for.
    EXPECT_TRUE(table->ApplyReply(Reply("203.0.113.5", 1), pending).confirmsChange);
    // Nothing pending: nothing to confirm.
    EXPECT_FALSE(table->ApplyReply(Reply("203.0.113.6", 1), nullptr).confirmsChange);
}

TEST_F(TableTest, ReplyWithoutPortIsStoredAsHttpDefault) {
    table->ApplyReply(Reply("198.51.100.30", 1, true, 8080), nullptr);
    table->ApplyReply(Reply("198.51.100.31", 2, false), nullptr);
    EXPECT_EQ(table->m_DeviceHttpPort[1], kDefaultHttpPort);
}

TEST_F(TableTest, RefillAfterResetTakesEachRowsOwnPort) {
    table->ApplyReply(Reply("198.51.100.30", 1, true, 8080), nullptr);
    table->ApplyReply(Reply("198.51.100.31", 2, true, 8081), nullptr);
    table->m_ipChangedRows.set(1);
    table->ResetDevices();
    EXPECT_EQ(table->m_nDeviceCount, 0);
    EXPECT_FALSE(table->m_ipChangedRows.any());
    for (int i = 0; i < MAX_DEVICES; ++i) {
        EXPECT_EQ(table->m_DeviceIp[i][0], 0);
        EXPECT_EQ(std::memcmp(table->m_DeviceMac[i], "\0\0\0\0\0\0", 6), 0);
    }
    // The stale port stays in the column until a new row sets it.
    EXPECT_EQ(table->m_DeviceHttpPort[1], 8081);
    ReplyOutcome out = table->ApplyReply(Reply("198.51.100.31", 2, false), nullptr);
    EXPECT_EQ(out.row, 0);
    EXPECT_EQ(table->m_DeviceHttpPort[0], kDefaultHttpPort);
    table->ApplyReply(Reply("198.51.100.30", 1, true, 8443), nullptr);
    EXPECT_EQ(table->m_DeviceHttpPort[1], 8443);
}
