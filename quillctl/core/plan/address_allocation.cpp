#include "plan/address_allocation.h"

#include <algorithm>
#include <set>

#include "plan/address_rules.h"
#include "plan/device_pick.h"

namespace quillctl {

namespace {

// Of the devices sharing an address on a link, the one that answered first keeps it (the list is in the
// order they were first heard), unless this host holds the address: then every one of them moves.
std::set<size_t> FirstHolders(const DeviceList& devices, const std::vector<Ipv4>& hostAddresses) {
    std::set<std::pair<size_t, Ipv4>> seen;
    std::set<size_t> keepers;
    for (size_t i = 0; i < devices.devices().size(); ++i) {
        const FoundDevice& device = devices.devices()[i];
        std::optional<Ipv4> address = ParseIpv4(device.ipText);
        if (!address ||
            std::find(hostAddresses.begin(), hostAddresses.end(), *address) != hostAddresses.end())
            continue;
        if (seen.insert({device.link, *address}).second)
            keepers.insert(i);
    }
    return keepers;
}

} // namespace

std::set<Ipv4> HeldAddresses(const DeviceList& devices, const std::vector<Ipv4>& hostAddresses) {
    std::set<Ipv4> held(hostAddresses.begin(), hostAddresses.end());
    for (const FoundDevice& device : devices.devices())
        if (auto address = ParseIpv4(device.ipText))
            held.insert(*address);
    for (const OnvifDevice& device : devices.onvifDevices())
        if (!device.gone)
            held.insert(device.xaddr.host);
    return held;
}

std::optional<Ipv4> FreeAddressFrom(Ipv4 first, const Link& link, const std::set<Ipv4>& held) {
    for (uint64_t value = first.value; value <= 0xffffffffu; ++value) {
        Ipv4 address{static_cast<uint32_t>(value)};
        if (!link.subnet.Contains(address) || !RefusalOf(address, &link).empty())
            return std::nullopt;
        if (!held.count(address))
            return address;
    }
    return std::nullopt;
}

Allocation AllocateFrom(Ipv4 first, Selection selection, const DeviceList& devices,
                        const std::vector<DeviceRow>& rows, const std::vector<Link>& links,
                        const std::vector<Ipv4>& hostAddresses, const std::set<Ipv4>& alsoHeld) {
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

    const std::set<size_t> keepers =
        selection == Selection::Duplicate ? FirstHolders(devices, hostAddresses) : std::set<size_t>();
    std::vector<const FoundDevice*> candidates;
    std::set<std::pair<Mac, std::string>> taken; // a device seen on two links moves once
    for (size_t i = 0; i < devices.devices().size(); ++i) {
        const FoundDevice& device = devices.devices()[i];
        const DeviceRow& row = rows.at(i);
        bool selected = selection == Selection::All ||
                        (selection == Selection::Unreachable && !row.inSubnet) ||
                        (selection == Selection::Duplicate && row.duplicateIp && !keepers.count(i));
        if (selected && links.at(device.link).subnet.Contains(first) &&
            taken.insert(DeviceKey(device)).second)
            candidates.push_back(&device);
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const FoundDevice* a, const FoundDevice* b) { return a->mac < b->mac; });

    std::set<Ipv4> held = HeldAddresses(devices, hostAddresses);
    held.insert(alsoHeld.begin(), alsoHeld.end());
    Ipv4 next = first;
    for (const FoundDevice* device : candidates) {
        std::optional<Ipv4> address = FreeAddressFrom(next, *target, held);
        if (!address) {
            out.error = "the subnet " + FormatIpv4(target->subnet.Network()) + "/" +
                        std::to_string(target->subnet.prefixLength) + " has no free address from " +
                        FormatIpv4(first) + " up for all " + std::to_string(candidates.size()) + " devices";
            out.lines.clear();
            return out;
        }
        PlanLine line;
        line.mac = device->mac;
        line.newIp = *address;
        line.interface = FormatIpv4(links.at(device->link).Address());
        out.lines.push_back(std::move(line));
        next = Ipv4{address->value + 1};
        if (next.value == 0) // past 255.255.255.255: FreeAddressFrom refuses it as multicast anyway
            next = *address;
    }
    return out;
}

} // namespace quillctl
