// Feeds arbitrary datagrams through the reply parser and the device table, as the receiver does,
// and checks the table's invariants after every step. Each input is a script of steps: a datagram
// (any length, past 512 bytes too), a table reset, or a change-IP command raised or cleared.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "device_table.h"
#include "fuzz_check.h"
#include "wire_protocol.h"

using namespace quillmast;

namespace {

using fuzzing::Check;

struct Snapshot {
    int count;
    uint8_t mac[MAX_DEVICES][kMacSize];
    int32_t port[MAX_DEVICES];
};

void CheckInvariants(const DeviceTable& t) {
    Check(t.m_nDeviceCount >= 0 && t.m_nDeviceCount <= MAX_DEVICES, "row count within 0..256");
    for (int i = 0; i < MAX_DEVICES; ++i) {
        Check(std::memchr(t.m_DeviceIp[i], 0, kIpTextSize) != nullptr, "IP text terminated within 16 bytes");
        if (i >= t.m_nDeviceCount) {
            static const uint8_t zero[kIpTextSize] = {};
            Check(std::memcmp(t.m_DeviceMac[i], zero, kMacSize) == 0, "unused rows hold no MAC");
            Check(std::memcmp(t.m_DeviceIp[i], zero, kIpTextSize) == 0, "unused rows hold no IP text");
        }
    }
    for (int i = 0; i < t.m_nDeviceCount; ++i)
        for (int j = i + 1; j < t.m_nDeviceCount; ++j)
            Check(std::memcmp(t.m_DeviceMac[i], t.m_DeviceMac[j], kMacSize) != 0, "no duplicate MAC");
}

void CheckAppendOnly(const Snapshot& before, const DeviceTable& t, const ReplyOutcome& out) {
    Check(t.m_nDeviceCount == before.count ||
              (t.m_nDeviceCount == before.count + 1 && out.effect == ReplyEffect::Added),
          "rows only appended, one at a time");
    for (int i = 0; i < before.count; ++i) {
        Check(std::memcmp(before.mac[i], t.m_DeviceMac[i], kMacSize) == 0, "a row's MAC never changes");
        Check(before.port[i] == t.m_DeviceHttpPort[i], "a row's port never changes");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    auto table = std::make_unique<DeviceTable>();
    table->ResetDevices();
    auto snapshot = std::make_unique<Snapshot>();
    uint8_t pendingMac[kMacSize];
    bool pending = false;

    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange<int>(0, 7)) {
        case 0:
            table->ResetDevices();
            CheckInvariants(*table);
            Check(table->m_nDeviceCount == 0, "reset empties the table");
            break;
        case 1:
            if (table->m_nDeviceCount > 0) {
                int row = in.ConsumeIntegralInRange<int>(0, table->m_nDeviceCount - 1);
                std::memcpy(pendingMac, table->m_DeviceMac[row], kMacSize);
                pending = true;
            }
            break;
        case 2:
            pending = false;
            break;
        default: {
            // An exact-size copy, so reading one byte past the datagram is caught.
            std::vector<uint8_t> bytes =
                in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 70000));
            std::unique_ptr<uint8_t[]> datagram(new uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)]);
            if (!bytes.empty())
                std::memcpy(datagram.get(), bytes.data(), bytes.size());
            DeviceReply reply = ParseDeviceReply(datagram.get(), bytes.size());
            Check(std::memchr(reply.ip, 0, kIpTextSize) != nullptr, "parsed IP text terminated");

            snapshot->count = table->m_nDeviceCount;
            std::memcpy(snapshot->mac, table->m_DeviceMac, sizeof(snapshot->mac));
            std::memcpy(snapshot->port, table->m_DeviceHttpPort, sizeof(snapshot->port));
            ReplyOutcome out = table->ApplyReply(reply, pending ? pendingMac : nullptr);
            CheckInvariants(*table);
            CheckAppendOnly(*snapshot, *table, out);
            if (!reply.hasMac)
                Check(out.effect == ReplyEffect::Ignored, "a reply without a MAC changes nothing");
            if (out.confirmsChange) {
                Check(pending && std::memcmp(reply.mac, pendingMac, kMacSize) == 0,
                      "only the target confirms");
                pending = false;
            }
            break;
        }
        }
    }
    return 0;
}
