#include "net/device_list.h"

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

    auto known = byMac_.find({mac, link});
    if (known == byMac_.end()) {
        if (Full())
            return DeviceChange::Full;
        byMac_.emplace(std::pair{mac, link}, devices_.size());
        devices_.push_back(FoundDevice{nextNumber_++, mac, std::move(ipText), port, link, source});
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

bool DeviceList::Full() {
    if (devices_.size() + onvif_.size() < capacity_)
        return false;
    overflowed_ = true;
    return true;
}

DeviceChange DeviceList::ApplyOnvif(OnvifDevice seen) {
    auto known = byEndpoint_.find({seen.endpoint, seen.link});
    if (known == byEndpoint_.end()) {
        if (Full())
            return DeviceChange::Full;
        seen.number = nextNumber_++;
        seen.gone = false;
        byEndpoint_.emplace(std::pair{seen.endpoint, seen.link}, onvif_.size());
        onvif_.push_back(std::move(seen));
        return DeviceChange::Added;
    }
    OnvifDevice& device = onvif_[known->second];
    bool same = !device.gone && device.name == seen.name && device.hardware == seen.hardware &&
                device.mac == seen.mac && device.xaddr.text == seen.xaddr.text &&
                device.source == seen.source;
    if (same)
        return DeviceChange::None;
    gone_ -= device.gone ? 1 : 0;
    seen.number = device.number;
    seen.gone = false;
    device = std::move(seen);
    return DeviceChange::Changed;
}

DeviceChange DeviceList::ByeOnvif(const std::string& endpoint, size_t link) {
    auto known = byEndpoint_.find({endpoint, link});
    if (known == byEndpoint_.end() || onvif_[known->second].gone)
        return DeviceChange::None;
    onvif_[known->second].gone = true;
    ++gone_;
    return DeviceChange::Changed;
}

size_t DeviceList::PresentCount() const { return devices_.size() + onvif_.size() - gone_; }

const OnvifDevice* DeviceList::FindOnvif(const std::string& endpoint, size_t link) const {
    auto known = byEndpoint_.find({endpoint, link});
    return known == byEndpoint_.end() ? nullptr : &onvif_[known->second];
}

const OnvifDevice* DeviceList::FindOnvif(const std::string& endpoint) const {
    for (const OnvifDevice& device : onvif_)
        if (device.endpoint == endpoint && !device.gone)
            return &device;
    return nullptr;
}

const FoundDevice* DeviceList::Find(const Mac& mac, size_t link) const {
    auto known = byMac_.find({mac, link});
    return known == byMac_.end() ? nullptr : &devices_[known->second];
}

const FoundDevice* DeviceList::Find(const Mac& mac) const {
    std::vector<const FoundDevice*> all = FindAll(mac);
    return all.empty() ? nullptr : all.front();
}

std::vector<const FoundDevice*> DeviceList::FindAll(const Mac& mac) const {
    std::vector<const FoundDevice*> out;
    for (auto known = byMac_.lower_bound({mac, 0}); known != byMac_.end() && known->first.first == mac;
         ++known)
        out.push_back(&devices_[known->second]);
    std::sort(out.begin(), out.end(),
              [](const FoundDevice* a, const FoundDevice* b) { return a->number < b->number; });
    return out;
}

const FoundDevice* OurDeviceOf(const DeviceList& list, const OnvifDevice& camera) {
    if (!camera.mac)
        return nullptr;
    for (const FoundDevice* device : list.FindAll(*camera.mac))
        if (ParseIpv4(device->ipText) == camera.xaddr.host)
            return device;
    return nullptr;
}

} // namespace quillctl
