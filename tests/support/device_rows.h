#pragma once
// Shared by the IP Config and WEB tests: a device table with chosen rows, a device list window whose
// selection mark names one of them, and polling.
#include <cstring>

#include <windows.h>
#include <commctrl.h>

#include "discovery_state.h"
#include "wait_until.h"

namespace test {

// Appends a row as the receiver would, under the table's lock.
inline void AddDeviceRow(DiscoveryState& state, const uint8_t (&mac)[quillmast::kMacSize], const char* ip,
                         int32_t port = 80) {
    CriticalSectionLock lock(state.m_csDevices);
    int row = state.m_nDeviceCount++;
    std::memcpy(state.m_DeviceMac[row], mac, sizeof(mac));
    std::memset(state.m_DeviceIp[row], 0, quillmast::kIpTextSize);
    std::memcpy(state.m_DeviceIp[row], ip, strnlen(ip, quillmast::kIpTextSize - 1));
    state.m_DeviceHttpPort[row] = port;
}

// A table with no rows, as the main window's start-up leaves it.
inline void ResetDeviceState(DiscoveryState& state) {
    state.ResetDevices();
    quillmast::InitChangeIpCommandHead(state.m_ChangeCmd);
    state.m_bChangePending.store(0);
}

// A hidden top-level report list with `items` rows and the selection mark at `mark`. Destroy it on the
// thread that made it.
inline HWND CreateDeviceListWindow(int items, int mark) {
    HWND list = ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT, 0, 0, 300, 200, nullptr,
                                  nullptr, ::GetModuleHandleW(nullptr), nullptr);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = 100;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    for (int i = 0; i < items; ++i) {
        LVITEMW item{};
        item.iItem = i;
        ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    ::SendMessageW(list, LVM_SETSELECTIONMARK, 0, mark);
    return list;
}

} // namespace test
