#include "plan_check.h"

#include <algorithm>
#include <map>
#include <set>

#include "address_rules.h"

namespace quillctl {

namespace {

// Where each device will be once the plan is carried out: the devices that move free their address;
// a device whose own change is refused stays where it is.
std::map<Ipv4, const FoundDevice*> AddressesKept(const std::vector<PlanLine>& lines,
                                                 const DeviceList& devices, const std::set<Mac>& refused) {
    std::map<Mac, Ipv4> moving;
    for (const PlanLine& line : lines)
        if (line.newIp && !refused.count(line.mac))
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

// One pass over the lines; adds the MAC of every refused line to `refused`.
CheckedPlan CheckOnce(const std::vector<PlanLine>& lines, const NetworkView& view, std::set<Mac>& refused) {
    const std::map<Ipv4, const FoundDevice*> kept = AddressesKept(lines, view.devices, refused);
    CheckedPlan checked;
    for (const PlanLine& line : lines) {
        auto problem = [&](const std::string& message, bool notFound = false) {
            checked.problems.push_back({line.line, message, false, notFound});
            refused.insert(line.mac);
        };
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
            problem("no device with MAC " + MacText(line.mac) + " answered", true);
            continue;
        }
        item.inSubnet = view.links.at(device->link).subnet.Contains(target);
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
        if (view.heldElsewhere != nullptr)
            if (auto other = view.heldElsewhere->find(target); other != view.heldElsewhere->end()) {
                problem(other->second);
                continue;
            }
        item.status = ChangeStatus::Waiting;
        checked.items.push_back(item);
        checked.itemLines.push_back(line.line);
    }
    return checked;
}

} // namespace

CheckedPlan CheckPlan(const std::vector<PlanLine>& lines, const NetworkView& view) {
    // A refused change keeps its device's address in use, which may refuse another change in turn:
    // check again until no more lines are refused.
    std::set<Mac> refused;
    for (;;) {
        size_t before = refused.size();
        CheckedPlan checked = CheckOnce(lines, view, refused);
        if (refused.size() == before) {
            std::stable_sort(checked.problems.begin(), checked.problems.end());
            return checked;
        }
    }
}

} // namespace quillctl
