#include <algorithm>

#include "plan/address_rules.h"
#include "plan/change_report.h"
#include "plan/change_run.h"
#include "commands/commands.h"
#include "plan/device_pick.h"
#include "net/exit_status.h"
#include "onvif/onvif_refusal.h"
#include "commands/other_holders.h"
#include "onvif/onvif_search.h"
#include "net/search.h"
#include "output/seconds_text.h"
#include "commands/session.h"
#include "net/text_escape.h"

namespace quillctl {

namespace {

// The refusals that need to know the device's link and its neighbours.
void RefuseOnLink(const FoundDevice& device, Ipv4 target, const Session& session, const DeviceList& list,
                  OtherHolders& others) {
    if (std::string refusal = RefusalOf(target, &session.links.at(device.link)); !refusal.empty())
        throw CommandError(kExitUsage, refusal + " (--force sends it all the same)");
    for (const FoundDevice& other : list.devices())
        if (DeviceKey(other) != DeviceKey(device) && ParseIpv4(other.ipText) == target)
            throw CommandError(kExitUsage, FormatIpv4(target) + " is held by device " + MacText(other.mac) +
                                               " (--force sends it all the same)");
    std::map<Ipv4, std::string> held = others.Find(list);
    if (auto holder = held.find(target); holder != held.end())
        throw CommandError(kExitUsage, holder->second + " (--force sends it all the same)");
}

} // namespace

int RunSetIp(Host& host, const SetIpOptions& options, std::ostream& out, std::ostream& err) {
    if (LooksLikeEndpoint(options.mac))
        throw CommandError(kExitUsage, OnvifChangeRefusal("'" + EscapeText(options.mac) + "'"));
    std::optional<Mac> mac = ParseMacArgument(options.mac);
    if (!mac)
        throw CommandError(kExitUsage,
                           "bad MAC '" + EscapeText(options.mac) + "' (six hex bytes separated by - or :)");
    std::optional<Ipv4> target = ParseIpv4(options.newIp);
    if (!target)
        throw CommandError(kExitUsage, "bad address '" + EscapeText(options.newIp) +
                                           "' (four numbers 0 to 255 joined by dots)");
    // No device can take these, so not even --force sends them.
    if (std::string refusal = RefusalOf(*target, nullptr); !refusal.empty())
        throw CommandError(kExitUsage, refusal);

    // WS-Discovery too: a camera of another make may hold the address.
    WireOptions wireOptions;
    wireOptions.onvif = true;
    Session session = OpenSession(host, options.interfaces, err, wireOptions);
    const std::vector<Ipv4>& own = session.hostAddresses;
    if (!options.force && std::find(own.begin(), own.end(), *target) != own.end())
        throw CommandError(kExitUsage,
                           options.newIp + " is an address of this host (--force sends it all the same)");

    SearchProtocols protocols;
    protocols.onvif = CameraProbes();
    Search search(*session.wire, session.links, err, protocols);
    OtherHolders others(host, session.links, *session.wire);
    if (!options.force)
        others.Ask({*target}); // answered while the search runs
    SearchTheWholeTime(search, session, host, options.findTimeoutSeconds);
    DevicePick pick = PickDevice(search.list(), session.links, *mac, "");
    if (!pick.rivals.empty())
        throw CommandError(kExitUsage, MacText(*mac) + " " + DescribeRivals(pick.rivals, session.links) +
                                           ": two devices share the MAC; pick one with --interface");
    const FoundDevice* device = pick.device;
    if (device == nullptr)
        throw CommandError(kExitNotFound, "no device with MAC " + MacText(*mac) + " answered within " +
                                              SecondsText(options.findTimeoutSeconds) + " s");
    const std::string oldShown = EscapeText(device->ipText);
    const std::string asked = FormatIpv4(*target);
    if (device->ipText == asked) {
        out << MacText(*mac) << ": already has " << asked << "; nothing sent\n";
        return kExitDone;
    }
    if (!options.force)
        RefuseOnLink(*device, *target, session, search.list(), others);

    std::vector<ChangeItem> items(1);
    items[0].mac = *mac;
    items[0].link = device->link;
    items[0].oldIp = device->ipText;
    items[0].newIp = asked;
    items[0].inSubnet = session.links.at(device->link).subnet.Contains(*target);
    WarnOutsideSubnet(err, items, session.links);
    ChangeRun run(*session.wire, session.links, items, AllAtOnce(items), err);
    PaceEnd end = run.Run(SecondsToDuration(options.timeoutSeconds), nullptr);
    const ChangeItem& item = items.front();
    if (end != PaceEnd::Interrupted && !run.AnySent())
        throw CommandError(kExitFailure, "the change command could not be sent: " + run.LastSendError());
    switch (item.status) {
    case ChangeStatus::Confirmed:
        out << MacText(*mac) << ": " << oldShown << " -> " << asked << '\n';
        return kExitDone;
    case ChangeStatus::Other:
        out << MacText(*mac) << ": " << oldShown << " -> " << EscapeText(item.gotIp) << '\n';
        throw CommandError(kExitNotConfirmed, MacText(*mac) +
                                                  " confirmed another address than asked: it took " +
                                                  EscapeText(item.gotIp) + ", not " + asked);
    default:
        if (end == PaceEnd::Interrupted)
            throw CommandError(kExitFailure,
                               item.sends == 0
                                   ? "interrupted before the change command was sent"
                                   : "interrupted before " + MacText(*mac) + " confirmed the change");
        throw CommandError(kExitNotConfirmed, MacText(*mac) + " did not confirm " + asked + " within " +
                                                  SecondsText(options.timeoutSeconds) +
                                                  " s (it last answered with " + oldShown + ")");
    }
}

} // namespace quillctl
