#pragma once
// The record of the devices found: one row per MAC, row i shown as item i of the device list.
// Pure code, shared by the receiver (which changes it) and the window (which shows it).
#include <bitset>
#include <cstdint>

#include "wire_protocol.h"

namespace quillmast {

inline constexpr int MAX_DEVICES = 256;

// A reply that names no port is stored with the HTTP default rather than some other device's port.
inline constexpr int32_t kDefaultHttpPort = 80;

enum class ReplyEffect {
    Ignored,   // no MAC: the reply adds and changes nothing
    TableFull, // a new MAC while every row is in use
    Unchanged, // a known MAC with the IP text the row already holds
    IpChanged, // a known MAC with a new IP text: only that row's IP text changed
    Added,     // a new MAC: row `row` appended
};

struct ReplyOutcome {
    ReplyEffect effect = ReplyEffect::Ignored;
    int row = -1;
    bool confirmsChange = false; // the reply confirms the pending change-IP command
};

// One row as a reader outside the receiver needs it, copied whole.
struct DeviceRow {
    uint8_t mac[kMacSize] = {};
    char ip[kIpTextSize] = {};
    int32_t httpPort = 0;
};

struct DeviceTable {
    uint8_t m_DeviceMac[MAX_DEVICES][kMacSize];
    char m_DeviceIp[MAX_DEVICES][kIpTextSize];
    int32_t m_DeviceHttpPort[MAX_DEVICES]; // never cleared by a reset: only a new row sets its entry
    int m_nDeviceCount;
    // Rows whose IP text changed since the window last brought its list in step.
    std::bitset<MAX_DEVICES> m_ipChangedRows;

    // Empties the table (MACs and IP texts zeroed, count 0). The port column is left as it is.
    void ResetDevices();

    // Applies one parsed reply. `pendingMac` is the MAC of the pending change-IP command, or null
    // when none is pending. Rows are only ever appended; a row's MAC and port never change.
    ReplyOutcome ApplyReply(const DeviceReply& reply, const uint8_t* pendingMac);

    // The row count as another thread may read it without the table's lock.
    int DeviceCountUnlocked() const;

    int FindRowByMac(const uint8_t (&mac)[kMacSize]) const;

    // Copies row `row`; false when it is not in use (a selection left from before a reset, say).
    bool CopyRow(int row, DeviceRow& out) const;
};

// "%.2x-%.2x-%.2x-%.2x-%.2x-%.2x" into a buffer of at least 18 bytes.
void FormatMac(const uint8_t* mac, char (&text)[18]);

} // namespace quillmast
