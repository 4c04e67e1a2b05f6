#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "wire_protocol.h"

using namespace quillmast;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<uint8_t> Reply(const std::string& text,
                           std::vector<uint8_t> mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E},
                           const std::string& after = "") {
    auto bytes = Bytes(text);
    bytes.insert(bytes.end(), mac.begin(), mac.end());
    bytes.insert(bytes.end(), after.begin(), after.end());
    return bytes;
}

DeviceReply Parse(const std::vector<uint8_t>& bytes) { return ParseDeviceReply(bytes.data(), bytes.size()); }

} // namespace

TEST(SearchRequest, IsTheNineteenBytesOfTheNameAndItsZero) {
    ASSERT_EQ(sizeof(kSearchRequest), 19u);
    EXPECT_EQ(std::memcmp(kSearchRequest, "PV_SearchNetDevice", 19), 0);
}

TEST(ChangeIpCommand, HeadMacAndAddressSitAtTheirOffsets) {
    uint8_t cmd[kChangeIpCommandSize];
    std::memset(cmd, 0xEE, sizeof(cmd));
    InitChangeIpCommandHead(cmd);
    const uint8_t mac[6] = {0x00, 0xAC, 0x0A, 0x01, 0x02, 0x03};
    WriteChangeIpTarget(cmd, mac, "10.0.0.1");
    EXPECT_EQ(std::memcmp(cmd, "PV_ChangeDeviceIp\0\x01", 19), 0);
    EXPECT_EQ(std::memcmp(cmd + 19, mac, 6), 0);
    EXPECT_EQ(std::memcmp(cmd + 25, "10.0.0.1\0", 9), 0);
    // The rest of the address field is left as it was.
    EXPECT_EQ(cmd[34], 0xEE);
    EXPECT_EQ(cmd[40], 0xEE);

    WriteChangeIpTarget(cmd, mac, "255.255.255.2550000"); // too long: cut, still terminated
    EXPECT_EQ(std::memcmp(cmd + 25, "255.255.255.255\0", 16), 0);
}

TEST(DeviceReplyParse, WorkedExample) {
    DeviceReply r = Parse(Reply("192.168.1.30:HTTP80,MAC"));
    EXPECT_STREQ(r.ip, "192.168.1.30");
    EXPECT_TRUE(r.hasPort);
    EXPECT_EQ(r.port, 80);
    ASSERT_TRUE(r.hasMac);
    const uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    EXPECT_EQ(std::memcmp(r.mac, mac, 6), 0);
}

TEST(DeviceReplyParse, IpText) {
    EXPECT_STREQ(Parse(Reply(":HTTP80,MAC")).ip, "");             // leading ':'
    EXPECT_STREQ(Parse(Reply("198.51.100.7 HTTP80,MAC")).ip, ""); // no ':' at all
    // Not checked to be an address, and a longer text is cut to 15 characters.
    EXPECT_STREQ(Parse(Reply("camera-on-the-roof:HTTP80,MAC")).ip, "camera-on-the-r");
    EXPECT_STREQ(Parse(Reply("255.255.255.255:MAC")).ip, "255.255.255.255");
    // The first ':' counts, even one inside a later field.
    EXPECT_STREQ(Parse(Reply("1.2.3.4HTTP:80,MAC")).ip, "1.2.3.4HTTP");
}

TEST(DeviceReplyParse, PortRules) {
    struct Case {
        std::string text;
        bool hasPort;
        int32_t port;
    } cases[] = {
        {"1.2.3.4:HTTP,,80,MAC", true, 80},            // leading commas skipped
        {"1.2.3.4:HTTP:80,MAC", true, 0},              // token without a leading number
        {"1.2.3.4:HTTP123456789,MAC", true, 12345678}, // only 8 bytes are read
        {"1.2.3.4:HTTP-8080,MAC", true, -8080},        // signed, not range-checked
        {"1.2.3.4:HTTP+81,MAC", true, 81},
        {"1.2.3.4:HTTP 443,MAC", true, 443},   // leading blank
        {"1.2.3.4:HTTP,,,,,,,,MAC", false, 0}, // only commas in the piece
        {"1.2.3.4:http80,MAC", false, 0},      // markers are case-sensitive
    };
    for (const auto& c : cases) {
        DeviceReply r = Parse(Reply(c.text));
        EXPECT_EQ(r.hasPort, c.hasPort) << c.text;
        if (c.hasPort) {
            EXPECT_EQ(r.port, c.port) << c.text;
        }
    }
}

TEST(DeviceReplyParse, HttpAtTheEndOfTheTextGivesNoPort) {
    auto bytes = Bytes("1.2.3.4:MAC");
    bytes.insert(bytes.end(), {1, 2, 3, 4, 5, 6});
    bytes.insert(bytes.end(), {'H', 'T', 'T', 'P', 0, '8', '0'});
    EXPECT_FALSE(Parse(bytes).hasPort);
}

TEST(DeviceReplyParse, ZeroByteBeforeHttpHidesIt) {
    // The MAC holds a zero, so "HTTP" after it lies beyond the text.
    DeviceReply r = Parse(Reply("1.2.3.4:MAC", {0x00, 0x00, 0, 1, 2, 3}, "HTTP80,"));
    EXPECT_TRUE(r.hasMac);
    EXPECT_FALSE(r.hasPort);
}

TEST(DeviceReplyParse, MacRules) {
    EXPECT_FALSE(Parse(Bytes("1.2.3.4:HTTP80,")).hasMac);    // no MAC marker
    EXPECT_FALSE(Parse(Reply("1.2.3.4:HTTP80,mac")).hasMac); // lower case
    // Raw bytes, whatever they hold, and bytes after the MAC do not matter.
    DeviceReply a = Parse(Reply("1.2.3.4:MAC", {':', 'M', 'A', 'C', 0, 0xFF}, "trailing"));
    DeviceReply b = Parse(Reply("1.2.3.4:MAC", {':', 'M', 'A', 'C', 0, 0xFF}, "other"));
    ASSERT_TRUE(a.hasMac);
    ASSERT_TRUE(b.hasMac);
    EXPECT_EQ(std::memcmp(a.mac, b.mac, 6), 0);
    EXPECT_EQ(a.mac[5], 0xFF);
}

TEST(DeviceReplyParse, StaysWithinTheReceivedBytes) {
    // Markers at the very end: what lies beyond the datagram is never read. Each input is copied to
    // a buffer of its exact size so the address sanitizer sees any overread.
    for (std::string text :
         {"1.2.3.4:HTTP", "1.2.3.4:HTTP8", "1.2.3.4:MAC", "1.2.3.4:MAC12345", "HTTP", "MAC", ":"}) {
        std::vector<uint8_t> exact(text.begin(), text.end());
        DeviceReply r = ParseDeviceReply(exact.data(), exact.size());
        EXPECT_FALSE(r.hasMac) << text; // a MAC cut short names no device
    }
    auto exact = Bytes("1.2.3.4:HTTP8");
    DeviceReply r = ParseDeviceReply(exact.data(), exact.size());
    EXPECT_TRUE(r.hasPort);
    EXPECT_EQ(r.port, 8);
    EXPECT_FALSE(ParseDeviceReply(nullptr, 0).hasMac);
}

TEST(DeviceReplyParse, OnlyTheFirst512BytesCount) {
    std::vector<uint8_t> big(600, 'x');
    const char tail[] = "1.2.3.4:MAC123456";
    std::memcpy(big.data() + 520, tail, sizeof(tail) - 1);
    EXPECT_FALSE(Parse(big).hasMac);
    std::memcpy(big.data() + 500, "MAC", 3); // MAC marker with only 9 bytes left inside 512
    EXPECT_TRUE(Parse(big).hasMac);
    std::memcpy(big.data() + 500, "xxxxxxMAC", 9); // 3 bytes left: cut short
    EXPECT_FALSE(Parse(big).hasMac);
}
