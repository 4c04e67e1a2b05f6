#include "device_table.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace quillmast {

void DeviceTable::ResetDevices() {
    std::memset(m_DeviceMac, 0, sizeof(m_DeviceMac));
    std::memset(m_DeviceIp, 0, sizeof(m_DeviceIp));
    std::atomic_ref<int>(m_nDeviceCount).store(0, std::memory_order_relaxed);
    m_ipChangedRows.reset();
}

int DeviceTable::DeviceCountUnlocked() const {
    return std::atomic_ref<int>(const_cast<int&>(m_nDeviceCount)).load(std::memory_order_relaxed);
}

int DeviceTable::FindRowByMac(const uint8_t (&mac)[kMacSize]) const {
    for (int i = 0; i < m_nDeviceCount; ++i)
        if (std::memcmp(m_DeviceMac[i], mac, kMacSize) == 0)
            return i;
    return -1;
}

bool DeviceTable::CopyRow(int row, DeviceRow& out) const {
    if (row < 0 || row >= m_nDeviceCount)
        return false;
    std::memcpy(out.mac, m_DeviceMac[row], kMacSize);
    std::memcpy(out.ip, m_DeviceIp[row], kIpTextSize);
    out.ip[kIpTextSize - 1] = '\0';
    out.httpPort = m_DeviceHttpPort[row];
    return true;
}

ReplyOutcome DeviceTable::ApplyReply(const DeviceReply& reply, const uint8_t* pendingMac) {
    ReplyOutcome out;
    if (!reply.hasMac)
        return out;
    int row = FindRowByMac(reply.mac);
    if (row >= 0) {
        out.row = row;
        if (std::strncmp(reply.ip, m_DeviceIp[row], kIpTextSize) == 0) {
            out.effect = ReplyEffect::Unchanged;
            return out;
        }
        std::memcpy(m_DeviceIp[row], reply.ip, kIpTextSize);
        m_ipChangedRows.set(static_cast<size_t>(row));
        out.effect = ReplyEffect::IpChanged;
        out.confirmsChange = pendingMac != nullptr && std::memcmp(pendingMac, reply.mac, kMacSize) == 0;
        return out;
    }
    if (m_nDeviceCount >= MAX_DEVICES) {
        out.effect = ReplyEffect::TableFull;
        return out;
    }
    row = m_nDeviceCount;
    std::memcpy(m_DeviceMac[row], reply.mac, kMacSize);
    std::memcpy(m_DeviceIp[row], reply.ip, kIpTextSize);
    m_DeviceHttpPort[row] = reply.hasPort ? reply.port : kDefaultHttpPort;
    // The receiver reads the count without the lock to drop datagrams early when the table is full.
    std::atomic_ref<int>(m_nDeviceCount).store(row + 1, std::memory_order_relaxed);
    out.effect = ReplyEffect::Added;
    out.row = row;
    return out;
}

void FormatMac(const uint8_t* mac, char (&text)[18]) {
    std::snprintf(text, sizeof(text), "%.2x-%.2x-%.2x-%.2x-%.2x-%.2x", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
}

} // namespace quillmast
