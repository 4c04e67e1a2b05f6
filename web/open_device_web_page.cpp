#include "open_device_web_page.h"

#include <cstring>

#include <shellapi.h>

#include "device_url.h"
#include "lock.h"
#include "run_hidden_command.h"

namespace {

struct WebTarget {
    char ip[quillmast::kIpTextSize] = {};
    int32_t port = 0;
};

// A whole copy of the row, so a reply that rewrites its text meanwhile is never seen half-written.
// The receiver never waits for a window while it holds the lock, so taking it here cannot deadlock.
// A mark past the rows in use (left from before a Refresh) names no device.
bool CopyRow(DiscoveryState& devices, int row, WebTarget& target) {
    CriticalSectionLock lock(devices.m_csDevices);
    if (row < 0 || row >= devices.m_nDeviceCount)
        return false;
    std::memcpy(target.ip, devices.m_DeviceIp[row], sizeof(target.ip));
    target.ip[sizeof(target.ip) - 1] = '\0';
    target.port = devices.m_DeviceHttpPort[row];
    return true;
}

} // namespace

void OpenDeviceWebPage(DiscoveryState& devices, const CListCtrl& list) {
    OpenDeviceWebPage(devices, list, SystemFolder());
}

void OpenDeviceWebPage(DiscoveryState& devices, const CListCtrl& list, const std::string& commandFolder) {
    // Started first and not waited for: the page opens while the cache may still be being cleared.
    char command[] = "arp -d";
    RunHiddenCommandFrom(commandFolder, command, nullptr);

    WebTarget target;
    if (!CopyRow(devices, list.GetSelectionMark(), target))
        return;
    char url[quillmast::kDeviceUrlCapacity];
    if (!quillmast::FormatDeviceUrl(target.ip, target.port, url))
        return;
    ::ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
}
