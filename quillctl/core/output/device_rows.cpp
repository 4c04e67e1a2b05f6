#include "output/device_rows.h"

#include <algorithm>
#include <map>
#include <set>

#include "net/text_escape.h"

namespace quillctl {

namespace {

// Who holds each address: one entry per physical device, told by its MAC (else its endpoint), so a
// camera answering both searches with its MAC in its scopes, or a device answering on two links, is
// counted once.
class Holders {
  public:
    void Add(Ipv4 address, const std::string& identity) {
        std::vector<std::string>& holders = byAddress_[address];
        if (std::find(holders.begin(), holders.end(), identity) == holders.end())
            holders.push_back(identity);
    }
    bool Shared(Ipv4 address) const {
        auto found = byAddress_.find(address);
        return found != byAddress_.end() && found->second.size() > 1;
    }

  private:
    std::map<Ipv4, std::vector<std::string>> byAddress_;
};

void FillPlace(DeviceRow& row, const Link& link, std::optional<Ipv4> address, Ipv4 source,
               const Holders& holders, const std::vector<Ipv4>& hostAddresses) {
    row.interfaceAddress = FormatIpv4(link.Address());
    row.interfaceName = EscapeName(link.name);
    row.source = FormatIpv4(source);
    row.sourceDiffers = !address || *address != source;
    if (address) {
        row.inSubnet = link.subnet.Contains(*address);
        bool hostHolds =
            std::find(hostAddresses.begin(), hostAddresses.end(), *address) != hostAddresses.end();
        row.duplicateIp = holders.Shared(*address) || hostHolds;
    }
}

} // namespace

std::vector<DeviceRow> BuildRows(const DeviceList& list, const std::vector<Link>& links,
                                 const std::vector<Ipv4>& hostAddresses) {
    Holders holders;
    std::map<Mac, std::set<size_t>> macLinks;
    for (const FoundDevice& device : list.devices()) {
        if (auto address = ParseIpv4(device.ipText))
            holders.Add(*address, MacText(device.mac));
        macLinks[device.mac].insert(device.link);
    }
    for (const OnvifDevice& device : list.onvifDevices()) {
        if (device.gone)
            continue;
        holders.Add(device.xaddr.host, device.mac ? MacText(*device.mac) : device.endpoint);
        if (device.mac)
            macLinks[*device.mac].insert(device.link);
    }
    auto elsewhereToo = [&](const std::optional<Mac>& mac) { return mac && macLinks[*mac].size() > 1; };

    std::vector<DeviceRow> rows;
    rows.reserve(list.PresentCount());
    for (const FoundDevice& device : list.devices()) {
        DeviceRow row;
        row.number = device.number;
        row.ip = EscapeText(device.ipText);
        row.mac = MacText(device.mac);
        row.httpPort = device.httpPort;
        FillPlace(row, links.at(device.link), ParseIpv4(device.ipText), device.source, holders,
                  hostAddresses);
        row.duplicateMac = elsewhereToo(device.mac);
        rows.push_back(std::move(row));
    }
    for (const OnvifDevice& device : list.onvifDevices()) {
        if (device.gone)
            continue;
        DeviceRow row;
        row.number = device.number;
        row.ip = FormatIpv4(device.xaddr.host);
        row.mac = device.mac ? MacText(*device.mac) : "";
        row.httpPort = device.xaddr.port;
        FillPlace(row, links.at(device.link), device.xaddr.host, device.source, holders, hostAddresses);
        row.protocol = "onvif";
        row.endpoint = EscapeText(device.endpoint);
        row.name = EscapeName(device.name);
        row.hardware = EscapeName(device.hardware);
        row.xaddr = EscapeText(device.xaddr.text);
        row.duplicateMac = elsewhereToo(device.mac);
        rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end(),
              [](const DeviceRow& a, const DeviceRow& b) { return a.number < b.number; });
    return rows;
}

} // namespace quillctl
