#include "commands/other_holders.h"

#include "net/text_escape.h"

namespace quillctl {

void OtherHolders::Ask(const std::vector<Ipv4>& addresses) {
    std::map<size_t, std::vector<Ipv4>> byLink;
    for (Ipv4 address : addresses) {
        if (known_.count(address))
            continue;
        known_.insert(address);
        for (size_t link = 0; link < links_.size(); ++link)
            if (links_[link].subnet.Contains(address))
                byLink[link].push_back(address);
    }
    if (byLink.empty())
        return;
    lastAsk_ = wire_.Now();
    for (auto& [link, wanted] : byLink)
        asked_.push_back(Asked{link, host_.AskNeighbours(links_[link], wanted)});
}

std::map<Ipv4, std::string> OtherHolders::Find(const DeviceList& devices) {
    for (Asked& asked : asked_) {
        for (const auto& [address, mac] : asked.query->Answers(lastAsk_ + kNeighbourWait))
            answers_.emplace(address, std::make_pair(asked.link, mac));
    }
    asked_.clear();
    auto ours = [&](Ipv4 address, const std::optional<Mac>& mac) {
        for (const FoundDevice& device : devices.devices())
            if (ParseIpv4(device.ipText) == address || (mac && device.mac == *mac))
                return true;
        return false;
    };
    std::map<Ipv4, std::string> held;
    // The neighbour table may still name one of ours at an address it has just left: that is not
    // someone else, and where our devices are the search tells.
    for (const auto& [address, answer] : answers_)
        if (!ours(address, answer.second))
            held[address] = FormatIpv4(address) + " answers ARP on " + DescribeLink(links_[answer.first]) +
                            " from " + MacText(answer.second) + ", which is not a device of this search";
    for (const OnvifDevice& camera : devices.onvifDevices()) {
        const Ipv4 address = camera.xaddr.host;
        if (!camera.gone && OurDeviceOf(devices, camera) == nullptr)
            held.emplace(address, FormatIpv4(address) + " is announced by the WS-Discovery camera " +
                                      EscapeText(camera.endpoint));
    }
    return held;
}

} // namespace quillctl
