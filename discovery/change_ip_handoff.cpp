// The few operations the window's dialogs and workers use on the table and the change-IP command.
#include "discovery_state.h"

using namespace quillmast;

bool DiscoveryState::CopyDeviceRow(int row, DeviceRow& out) {
    // The receiver never waits for a window while it holds the lock, so this cannot deadlock.
    CriticalSectionLock lock(m_csDevices);
    return CopyRow(row, out);
}

void DiscoveryState::QueueChangeIp(const uint8_t (&mac)[kMacSize], const char* address) {
    // The sender reads the command only after it sees the flag (acquire), so it always sees it whole.
    WriteChangeIpTarget(m_ChangeCmd, mac, address);
    m_bChangePending.store(1, std::memory_order_release);
}

bool DiscoveryState::ChangeIpPending() const { return m_bChangePending.load(std::memory_order_acquire) != 0; }

bool DiscoveryState::WithdrawChangeIp() {
    // Exchanged rather than stored: a confirmation that lands just before counts as one.
    return m_bChangePending.exchange(0, std::memory_order_acq_rel) != 0;
}
