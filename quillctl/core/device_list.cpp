#include "device_list.h"

#include <algorithm>
#include <cstring>

namespace quillctl {

DeviceChange DeviceList::Apply(const quillmast::DeviceReply& reply, size_t link, Ipv4 source) {
    if (!reply.hasMac)
        return DeviceChange::Ignored;
    Mac mac;
    std::copy(std::begin(reply.mac), std::end(reply.mac), mac.begin());
    std::string ipText(reply.ip, strnlen(reply.ip, sizeof(reply.ip)));
    std::optional<int32_t> port;
    if (reply.hasPort)
        port = reply.port;

    auto known = byMac_.find(mac);
    if (known == byMac_.end()) {
        if (devices_.size() >= capacity_) {
            overflowed_ = true;
            return DeviceChange::Full;
        }
        byMac_.emplace(mac, devices_.size());
        devices_.push_back(
            FoundDevice{static_cast<int>(devices_.size()) + 1, mac, std::move(ipText), port, link, source});
        return DeviceChange::Added;
    }
    FoundDevice& device = devices_[known->second];
    if (device.ipText == ipText && device.httpPort == port && device.source == source)
        return DeviceChange::None;
    device.ipText = std::move(ipText);
    device.httpPort = port;
    device.source = source;
    return DeviceChange::Changed;
}

const FoundDevice* DeviceList::Find(const Mac& mac) const {
    auto known = byMac_.find(mac);
    return known == byMac_.end() ? nullptr : &devices_[known->second];
}

} // namespace quillctl
