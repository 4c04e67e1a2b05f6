// The flood test on the virtual LAN judges the program's list against the flood's device pool. This
// checks that judgement's ground: read by the program's own parser and table, exactly the datagrams the
// mix means to name a pool device do so, with that device's address text, and nothing else adds a row.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "device_table.h"
#include "flood_mix.hpp"
#include "wire_protocol.h"

using namespace quillmast;

namespace {

std::map<std::string, std::string> PoolIpByMac() {
    std::map<std::string, std::string> pool;
    for (std::size_t i = 0; i < quillsim::kFloodPoolSize; ++i)
        pool[quillsim::format_mac(quillsim::flood_pool_mac(i))] = quillsim::flood_pool_ip(i);
    return pool;
}

std::string MacText(const uint8_t* mac) {
    char text[18];
    FormatMac(mac, text);
    return text;
}

bool NamesADevice(quillsim::FloodKind kind) {
    return kind != quillsim::FloodKind::random_bytes && kind != quillsim::FloodKind::marker_at_end;
}

} // namespace

TEST(FloodMixAsTheProgramReadsIt, OnlyNamingKindsNameAPoolDeviceWithItsAddress) {
    const auto pool = PoolIpByMac();
    auto table = std::make_unique<DeviceTable>();
    table->ResetDevices();
    quillsim::FloodMix mix(11);
    for (int i = 0; i < 5000; ++i) {
        const auto datagram = mix.next();
        const auto reply = ParseDeviceReply(datagram.bytes.data(), datagram.bytes.size());
        ASSERT_EQ(reply.hasMac, NamesADevice(datagram.kind)) << quillsim::flood_kind_name(datagram.kind);
        if (!reply.hasMac)
            continue;
        const auto found = pool.find(MacText(reply.mac));
        ASSERT_NE(found, pool.end());
        ASSERT_EQ(found->second, reply.ip);
        table->ApplyReply(reply, nullptr);
    }
    ASSERT_EQ(table->m_nDeviceCount, MAX_DEVICES);
    for (int row = 0; row < MAX_DEVICES; ++row)
        EXPECT_EQ(pool.at(MacText(table->m_DeviceMac[row])), table->m_DeviceIp[row]) << row;
}
