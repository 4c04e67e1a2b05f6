#include "open_device_web_page.h"

#include <cstring>

#include <shellapi.h>

#include "device_url.h"
#include "run_hidden_command.h"

void OpenDeviceWebPage(DiscoveryState& devices, const CListCtrl& list) {
    OpenDeviceWebPage(devices, list, SystemFolder());
}

void OpenDeviceWebPage(DiscoveryState& devices, const CListCtrl& list, const std::string& commandFolder) {
    // Started first and not waited for: the page opens while the cache may still be being cleared.
    char command[] = "arp -d";
    RunHiddenCommandFrom(commandFolder, command, nullptr);

    // A mark past the rows in use (left from before a Refresh) names no device.
    quillmast::DeviceRow target;
    if (!devices.CopyDeviceRow(list.GetSelectionMark(), target))
        return;
    char url[quillmast::kDeviceUrlCapacity];
    if (!quillmast::FormatDeviceUrl(target.ip, target.httpPort, url))
        return;
    ::ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
}
