#include "plan/plan_check.h"

#include <algorithm>
#include <map>
#include <set>

#include "plan/address_rules.h"
#include "plan/device_pick.h"
#include "net/text_escape.h"

namespace quillctl {

namespace {

using DeviceKeys = std::map<std::pair<Mac, std::string>, Ipv4>;

// Where each device will be once the plan is carried out: the devices that move free their address (on
// every link the device was heard on); a device whose own change is refused stays where it is.
std::map<Ipv4, const FoundDevice*> AddressesKept(const std::vector<PlanLine>& lines,
                                                 const std::vector<DevicePick>& picks,
                                                 const DeviceList& devices, const std::set<size_t>& refused) {
    DeviceKeys moving;
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].newIp && picks[i].device && !refused.count(i))
            moving.emplace(DeviceKey(*picks[i].device), *lines[i].newIp);
    std::map<Ipv4, const FoundDevice*> kept;
    for (const FoundDevice& device : devices.devices()) {
        std::optional<Ipv4> address = ParseIpv4(device.ipText);
        if (!address)
            continue;
        auto move = moving.find(DeviceKey(device));
        if (move == moving.end() || move->second == *address)
            kept.emplace(*address, &device);
    }
    return kept;
}

std::string NotFound(const PlanLine& line, const DevicePick& pick, const std::vector<Link>& links) {
    if (!pick.rivals.empty())
        return "MAC " + MacText(line.mac) + " " + DescribeRivals(pick.rivals, links) +
               ": two devices share the MAC; name one's interface in the interface column";
    return "no device with MAC " + MacText(line.mac) + " answered" +
           (line.interface.empty() ? "" : " on " + EscapeText(line.interface));
}

// One pass over the lines; adds the index of every refused line to `refused`.
CheckedPlan CheckOnce(const std::vector<PlanLine>& lines, const std::vector<DevicePick>& picks,
                      const NetworkView& view, std::set<size_t>& refused) {
    const std::map<Ipv4, const FoundDevice*> kept = AddressesKept(lines, picks, view.devices, refused);
    std::map<std::pair<Mac, std::string>, int> changedOn; // the line that changes each device
    CheckedPlan checked;
    for (size_t i = 0; i < lines.size(); ++i) {
        const PlanLine& line = lines[i];
        auto problem = [&](const std::string& message, bool notFound = false) {
            checked.problems.push_back({line.line, message, false, notFound});
            refused.insert(i);
        };
        const FoundDevice* device = picks[i].device;
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
            problem(NotFound(line, picks[i], view.links), picks[i].rivals.empty());
            continue;
        }
        if (auto [known, added] = changedOn.emplace(DeviceKey(*device), line.line); !added) {
            problem("device " + MacText(line.mac) + " at " + EscapeText(device->ipText) +
                    " is already changed on line " + std::to_string(known->second));
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
    std::vector<DevicePick> picks;
    for (const PlanLine& line : lines)
        picks.push_back(PickDevice(view.devices, view.links, line.mac, line.interface));
    std::set<size_t> refused;
    for (;;) {
        size_t before = refused.size();
        CheckedPlan checked = CheckOnce(lines, picks, view, refused);
        if (refused.size() == before) {
            std::stable_sort(checked.problems.begin(), checked.problems.end());
            return checked;
        }
    }
}

} // namespace quillctl
