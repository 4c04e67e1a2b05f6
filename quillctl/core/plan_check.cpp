#include "plan_check.h"

#include <algorithm>
#include <map>

#include "address_rules.h"

namespace quillctl {

namespace {

// Where each device will be once the plan is carried out: the devices that move free their address.
std::map<Ipv4, const FoundDevice*> AddressesKept(const std::vector<PlanLine>& lines,
                                                 const DeviceList& devices) {
    std::map<Mac, Ipv4> moving;
    for (const PlanLine& line : lines)
        if (line.newIp)
            moving.emplace(line.mac, *line.newIp);
    std::map<Ipv4, const FoundDevice*> kept;
    for (const FoundDevice& device : devices.devices()) {
        std::optional<Ipv4> address = ParseIpv4(device.ipText);
        if (!address)
            continue;
        auto move = moving.find(device.mac);
        if (move == moving.end() || move->second == *address)
            kept.emplace(*address, &device);
    }
    return kept;
}

} // namespace

CheckedPlan CheckPlan(const std::vector<PlanLine>& lines, const NetworkView& view) {
    CheckedPlan checked;
    const std::map<Ipv4, const FoundDevice*> kept = AddressesKept(lines, view.devices);
    for (const PlanLine& line : lines) {
        auto problem = [&](const std::string& message) { checked.problems.push_back({line.line, message}); };
        const FoundDevice* device = view.devices.Find(line.mac);
        ChangeItem item;
        item.mac = line.mac;
        item.status = ChangeStatus::Skipped;
        if (device != nullptr) {
            item.link = device->link;
            item.oldIp = device->ipText;
        }
        if (!line.newIp) {
            checked.items.push_back(item);
            checked.itemLines.push_back(line.line);
            continue;
        }
        const Ipv4 target = *line.newIp;
        item.newIp = FormatIpv4(target);
        if (device == nullptr) {
            problem("no device with MAC " + MacText(line.mac) + " answered");
            continue;
        }
        if (std::string refusal = RefusalOf(target, &view.links.at(device->link)); !refusal.empty()) {
            problem(refusal);
            continue;
        }
        if (std::find(view.hostAddresses.begin(), view.hostAddresses.end(), target) !=
            view.hostAddresses.end()) {
            problem(item.newIp + " is an address of this host");
            continue;
        }
        if (device->ipText == item.newIp) {
            checked.items.push_back(item); // it already has it: nothing to send
            checked.itemLines.push_back(line.line);
            continue;
        }
        if (auto holder = kept.find(target); holder != kept.end()) {
            problem(item.newIp + " is held by device " + MacText(holder->second->mac) +
                    ", which keeps it (it is not moved by the plan)");
            continue;
        }
        item.status = ChangeStatus::Waiting;
        checked.items.push_back(item);
        checked.itemLines.push_back(line.line);
    }
    std::stable_sort(checked.problems.begin(), checked.problems.end());
    return checked;
}

} // namespace quillctl
