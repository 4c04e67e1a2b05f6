#include "address_allocation.h"

#include <algorithm>
#include <set>

#include "address_rules.h"

namespace quillctl {

Allocation AllocateFrom(Ipv4 first, Selection selection, const DeviceList& devices,
                        const std::vector<DeviceRow>& rows, const std::vector<Link>& links,
                        const std::vector<Ipv4>& hostAddresses) {
    Allocation out;
    const Link* target = nullptr;
    for (const Link& link : links)
        if (link.subnet.Contains(first)) {
            target = &link;
            break;
        }
    if (target == nullptr) {
        out.error = "no interface's subnet holds " + FormatIpv4(first);
        return out;
    }
    if (std::string refusal = RefusalOf(first, target); !refusal.empty()) {
        out.error = refusal;
        return out;
    }

    std::vector<const FoundDevice*> candidates;
    for (size_t i = 0; i < devices.devices().size(); ++i) {
        const FoundDevice& device = devices.devices()[i];
        const DeviceRow& row = rows.at(i);
        bool selected = selection == Selection::All ||
                        (selection == Selection::Unreachable && !row.inSubnet) ||
                        (selection == Selection::Duplicate && row.duplicateIp);
        if (selected && links.at(device.link).subnet.Contains(first))
            candidates.push_back(&device);
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const FoundDevice* a, const FoundDevice* b) { return a->mac < b->mac; });

    std::set<Ipv4> held(hostAddresses.begin(), hostAddresses.end());
    for (const FoundDevice& device : devices.devices())
        if (auto address = ParseIpv4(device.ipText))
            held.insert(*address);

    uint64_t next = first.value;
    for (const FoundDevice* device : candidates) {
        auto usable = [&](uint64_t value) {
            Ipv4 address{static_cast<uint32_t>(value)};
            return target->subnet.Contains(address) && RefusalOf(address, target).empty();
        };
        while (next <= 0xffffffffu && usable(next) && held.count(Ipv4{static_cast<uint32_t>(next)}))
            ++next;
        if (next > 0xffffffffu || !usable(next)) {
            out.error = "the subnet " + FormatIpv4(target->subnet.Network()) + "/" +
                        std::to_string(target->subnet.prefixLength) + " has no free address from " +
                        FormatIpv4(first) + " up for all " + std::to_string(candidates.size()) + " devices";
            out.lines.clear();
            return out;
        }
        out.lines.push_back(PlanLine{0, device->mac, Ipv4{static_cast<uint32_t>(next)}});
        ++next;
    }
    return out;
}

} // namespace quillctl
