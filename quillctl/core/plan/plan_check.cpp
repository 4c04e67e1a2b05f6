#include "plan/plan_check.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "plan/address_rules.h"
#include "plan/device_pick.h"
#include "net/text_escape.h"

namespace quillctl {

namespace {

// One physical device, whichever link it was heard on: our device's MAC at its address, a camera's
// endpoint at its XAddr's host.
std::string KeyOf(const FoundDevice& device) { return "mac " + MacText(device.mac) + " at " + device.ipText; }

std::string KeyOf(const OnvifDevice& camera) {
    std::string endpoint = camera.endpoint;
    for (char& c : endpoint)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return "endpoint " + endpoint + " at " + FormatIpv4(camera.xaddr.host);
}

// What a plan line names on the network: one of our devices or a camera, or nothing found.
struct Named {
    const FoundDevice* device = nullptr;
    const OnvifDevice* camera = nullptr;
    std::string notFound; // why neither was found, when it was not
    bool rivals = false;  // found several, at different addresses

    bool found() const { return device != nullptr || camera != nullptr; }
    std::string key() const { return device ? KeyOf(*device) : KeyOf(*camera); }
    std::optional<Ipv4> address() const {
        return device ? ParseIpv4(device->ipText) : std::optional(camera->xaddr.host);
    }
    size_t link() const { return device ? device->link : camera->link; }
    std::string oldIp() const { return device ? device->ipText : FormatIpv4(camera->xaddr.host); }
};

// The endpoint as the device sent it or as find writes it (escaped), ASCII case ignored as UUIDs are
// compared.
bool SameEndpoint(const OnvifDevice& camera, std::string_view endpoint) {
    auto same = [&](std::string_view sent) {
        return sent.size() == endpoint.size() &&
               std::equal(sent.begin(), sent.end(), endpoint.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) ==
                          std::tolower(static_cast<unsigned char>(b));
               });
    };
    return same(camera.endpoint) || same(EscapeText(camera.endpoint));
}

Named Find(const PlanLine& line, const NetworkView& view) {
    Named named;
    const std::string on = line.interface.empty() ? "" : " on " + EscapeText(line.interface);
    if (line.camera) {
        CameraPick pick = PickCamera(
            view.devices, view.links,
            [&](const OnvifDevice& camera) { return SameEndpoint(camera, line.endpoint); }, line.interface);
        named.camera = pick.camera;
        named.rivals = !pick.rivals.empty();
        named.notFound = named.rivals
                             ? "camera " + EscapeText(line.endpoint) + " " +
                                   DescribeRivals(pick.rivals, view.links) +
                                   ": name one link in the interface column"
                             : "no camera with endpoint " + EscapeText(line.endpoint) + " answered" + on;
        return named;
    }
    DevicePick pick = PickDevice(view.devices, view.links, line.mac, line.interface);
    named.device = pick.device;
    named.rivals = !pick.rivals.empty();
    named.notFound = named.rivals
                         ? "MAC " + MacText(line.mac) + " " + DescribeRivals(pick.rivals, view.links) +
                               ": two devices share the MAC; name one's interface in the interface column"
                         : "no device with MAC " + MacText(line.mac) + " answered" + on;
    return named;
}

// Where each device of either kind will be once the plan is carried out, with who holds it: the
// devices that move free their address (on every link they were heard on); a device whose own change is
// refused stays where it is. Also the addresses the moving devices leave.
struct Places {
    std::map<Ipv4, std::string> kept;
    std::set<Ipv4> left;
};

Places PlacesAfter(const std::vector<PlanLine>& lines, const std::vector<Named>& named,
                   const DeviceList& devices, const std::set<size_t>& refused) {
    std::map<std::string, Ipv4> moving;
    Places places;
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].newIp && named[i].found() && !refused.count(i)) {
            moving.emplace(named[i].key(), *lines[i].newIp);
            if (std::optional<Ipv4> address = named[i].address(); address && *address != *lines[i].newIp)
                places.left.insert(*address);
        }
    auto stays = [&](const std::string& key, Ipv4 address) {
        auto move = moving.find(key);
        return move == moving.end() || move->second == address;
    };
    for (const FoundDevice& device : devices.devices())
        if (std::optional<Ipv4> address = ParseIpv4(device.ipText); address && stays(KeyOf(device), *address))
            places.kept.emplace(*address, "device " + MacText(device.mac));
    // A camera that is one of ours goes where that device goes.
    for (const OnvifDevice& camera : devices.onvifDevices())
        if (!camera.gone && OurDeviceOf(devices, camera) == nullptr &&
            stays(KeyOf(camera), camera.xaddr.host))
            places.kept.emplace(camera.xaddr.host, "the WS-Discovery camera " + EscapeText(camera.endpoint));
    return places;
}

// Why a camera cannot take `target` with the prefix length and gateway its line asks, or an empty text.
std::string CameraRefusal(const PlanLine& line, Ipv4 target, const Link& link) {
    const Subnet subnet{target, line.prefixLength.value_or(link.subnet.prefixLength)};
    const std::string within = FormatIpv4(subnet.Network()) + "/" + std::to_string(subnet.prefixLength);
    if (line.prefixLength && subnet.HasNetworkAndBroadcast() &&
        (target == subnet.Network() || target == subnet.Broadcast()))
        return FormatIpv4(target) + " is the " + (target == subnet.Network() ? "subnet" : "broadcast") +
               " address of " + within + ", the camera's subnet with its prefix_length";
    if (!line.gateway)
        return "";
    const Ipv4 gateway = *line.gateway;
    // Outside its own subnet the camera has no route to its gateway, and loses every route beyond.
    if (!subnet.Contains(gateway))
        return "gateway " + FormatIpv4(gateway) + " lies outside " + within +
               ", the subnet of the camera's new address " + FormatIpv4(target) +
               (line.prefixLength ? "" : " with the prefix length of " + DescribeLink(link)) +
               ": the camera would have no route";
    if (gateway == target)
        return "gateway " + FormatIpv4(gateway) + " is the camera's own new address";
    if (subnet.HasNetworkAndBroadcast() && (gateway == subnet.Network() || gateway == subnet.Broadcast()))
        return "gateway " + FormatIpv4(gateway) + " is the " +
               (gateway == subnet.Network() ? "subnet" : "broadcast") + " address of " + within;
    return "";
}

// One pass over the lines; adds the index of every refused line to `refused`.
CheckedPlan CheckOnce(const std::vector<PlanLine>& lines, const std::vector<Named>& named,
                      const NetworkView& view, std::set<size_t>& refused) {
    const Places places = PlacesAfter(lines, named, view.devices, refused);
    std::map<std::string, int> changedOn; // the line that changes each device
    CheckedPlan checked;
    for (size_t i = 0; i < lines.size(); ++i) {
        const PlanLine& line = lines[i];
        const Named& who = named[i];
        auto problem = [&](const std::string& message, bool notFound = false) {
            checked.problems.push_back({line.line, message, false, notFound});
            refused.insert(i);
        };
        ChangeItem item;
        item.mac = line.mac;
        item.status = ChangeStatus::Skipped;
        if (who.found()) {
            item.link = who.link();
            item.oldIp = who.oldIp();
        }
        if (who.camera) {
            // apply gives the credentials; the MAC is the camera's own when it says one, else the line's.
            item.mac = who.camera->mac.value_or(line.mac);
            item.camera = CameraChange{who.camera->endpoint, who.camera->xaddr.text, std::nullopt,
                                       line.prefixLength, line.gateway};
        }
        if (!line.newIp) {
            checked.items.push_back(item);
            checked.itemLines.push_back(line.line);
            checked.itemUsers.push_back(line.user);
            continue;
        }
        const Ipv4 target = *line.newIp;
        item.newIp = FormatIpv4(target);
        if (!who.found()) {
            problem(who.notFound, !who.rivals);
            continue;
        }
        const std::string name =
            who.device ? "device " + MacText(who.device->mac) : "camera " + EscapeText(who.camera->endpoint);
        if (who.camera)
            if (const FoundDevice* ours = OurDeviceOf(view.devices, *who.camera)) {
                problem(name + " is our device " + MacText(ours->mac) +
                        " answering WS-Discovery too: give its new address on its line of protocol quill");
                continue;
            }
        if (auto [known, added] = changedOn.emplace(who.key(), line.line); !added) {
            problem(name + " at " + EscapeText(item.oldIp) + " is already changed on line " +
                    std::to_string(known->second));
            continue;
        }
        const Link& link = view.links.at(item.link);
        item.inSubnet = link.subnet.Contains(target);
        if (std::string refusal = RefusalOf(target, &link); !refusal.empty()) {
            problem(refusal);
            continue;
        }
        if (std::find(view.hostAddresses.begin(), view.hostAddresses.end(), target) !=
            view.hostAddresses.end()) {
            problem(item.newIp + " is an address of this host");
            continue;
        }
        if (who.camera)
            if (std::string refusal = CameraRefusal(line, target, link); !refusal.empty()) {
                problem(refusal);
                continue;
            }
        if (item.oldIp == item.newIp) {
            checked.items.push_back(item); // it already has it: nothing to send
            checked.itemLines.push_back(line.line);
            checked.itemUsers.push_back(line.user);
            continue;
        }
        if (auto holder = places.kept.find(target); holder != places.kept.end()) {
            problem(item.newIp + " is held by " + holder->second +
                    ", which keeps it (it is not moved by the plan)");
            continue;
        }
        // A camera the plan moves still announces its old address, and answers ARP there, until it has
        // moved: that address is freed like one of ours.
        if (view.heldElsewhere != nullptr && !places.left.count(target))
            if (auto other = view.heldElsewhere->find(target); other != view.heldElsewhere->end()) {
                problem(other->second);
                continue;
            }
        item.status = ChangeStatus::Waiting;
        checked.items.push_back(item);
        checked.itemLines.push_back(line.line);
        checked.itemUsers.push_back(line.user);
    }
    return checked;
}

} // namespace

CheckedPlan CheckPlan(const std::vector<PlanLine>& lines, const NetworkView& view) {
    // A refused change keeps its device's address in use, which may refuse another change in turn:
    // check again until no more lines are refused.
    std::vector<Named> named;
    for (const PlanLine& line : lines)
        named.push_back(Find(line, view));
    std::set<size_t> refused;
    for (;;) {
        size_t before = refused.size();
        CheckedPlan checked = CheckOnce(lines, named, view, refused);
        if (refused.size() == before) {
            std::stable_sort(checked.problems.begin(), checked.problems.end());
            return checked;
        }
    }
}

} // namespace quillctl
