#include "device_rows.h"

#include <map>

#include "text_escape.h"

namespace quillctl {

std::vector<DeviceRow> BuildRows(const DeviceList& list, const std::vector<Link>& links,
                                 const std::vector<Ipv4>& hostAddresses) {
    std::map<Ipv4, int> holders;
    for (const FoundDevice& device : list.devices())
        if (auto address = ParseIpv4(device.ipText))
            ++holders[*address];

    std::vector<DeviceRow> rows;
    rows.reserve(list.devices().size());
    for (const FoundDevice& device : list.devices()) {
        const Link& link = links.at(device.link);
        DeviceRow row;
        row.number = device.number;
        row.ip = EscapeText(device.ipText);
        row.mac = MacText(device.mac);
        row.httpPort = device.httpPort;
        row.interfaceAddress = FormatIpv4(link.Address());
        row.interfaceName = link.name;
        row.source = FormatIpv4(device.source);
        std::optional<Ipv4> address = ParseIpv4(device.ipText);
        row.sourceDiffers = !address || *address != device.source;
        if (address) {
            row.inSubnet = link.subnet.Contains(*address);
            bool hostHolds = false;
            for (Ipv4 own : hostAddresses)
                hostHolds = hostHolds || own == *address;
            row.duplicateIp = holders[*address] > 1 || hostHolds;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace quillctl
