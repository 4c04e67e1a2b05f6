#include <algorithm>

#include "commands/camera_changes.h"
#include "commands/commands.h"
#include "commands/other_holders.h"
#include "commands/session.h"
#include "net/exit_status.h"
#include "net/search.h"
#include "net/text_escape.h"
#include "onvif/onvif_facts.h"
#include "onvif/onvif_search.h"
#include "output/seconds_text.h"
#include "plan/address_rules.h"
#include "plan/change_report.h"
#include "plan/change_run.h"
#include "plan/device_pick.h"

namespace quillctl {

namespace {

// What the command line names: one of our devices by its MAC, or a camera by its endpoint, its
// address or (when none of ours has it) its MAC.
struct Named {
    std::optional<Mac> mac;
    std::optional<Ipv4> address;
    std::string endpoint;
};

Named ReadTarget(const std::string& text) {
    Named named;
    if (LooksLikeEndpoint(text))
        named.endpoint = text;
    else if (!(named.mac = ParseMacArgument(text)) && !(named.address = ParseIpv4(text)))
        throw CommandError(kExitUsage, "bad device '" + EscapeText(text) +
                                           "' (a MAC of six hex bytes separated by - or :, a camera's "
                                           "endpoint urn:... or its dotted address)");
    return named;
}

// The refusals that need to know the device's link and its neighbours.
void RefuseOnLink(size_t link, Ipv4 target, const Session& session, const DeviceList& list,
                  OtherHolders& others) {
    if (std::string refusal = RefusalOf(target, &session.links.at(link)); !refusal.empty())
        throw CommandError(kExitUsage, refusal + " (--force sends it all the same)");
    for (const FoundDevice& other : list.devices())
        if (ParseIpv4(other.ipText) == target)
            throw CommandError(kExitUsage, FormatIpv4(target) + " is held by device " + MacText(other.mac) +
                                               " (--force sends it all the same)");
    std::map<Ipv4, std::string> held = others.Find(list);
    if (auto holder = held.find(target); holder != held.end())
        throw CommandError(kExitUsage, holder->second + " (--force sends it all the same)");
}

// The change for one of our devices, by its MAC.
ChangeItem OurChange(const Mac& mac, const DeviceList& list, const SetIpOptions& options,
                     const Session& session) {
    DevicePick pick = PickDevice(list, session.links, mac, "");
    if (!pick.rivals.empty())
        throw CommandError(kExitUsage, MacText(mac) + " " + DescribeRivals(pick.rivals, session.links) +
                                           ": two devices share the MAC; pick one with --interface");
    if (pick.device == nullptr)
        throw CommandError(kExitNotFound, "no device with MAC " + MacText(mac) + " answered within " +
                                              SecondsText(options.findTimeoutSeconds) + " s");
    ChangeItem item;
    item.mac = mac;
    item.link = pick.device->link;
    item.oldIp = pick.device->ipText;
    return item;
}

// The change for a camera, with its credentials.
ChangeItem CameraChangeOf(const Named& named, const DeviceList& list, const SetIpOptions& options,
                          const Session& session, const onvif::CredentialBook& book) {
    CameraPick pick = PickCamera(
        list, session.links,
        [&](const OnvifDevice& camera) {
            return !named.endpoint.empty() ? camera.endpoint == named.endpoint
                   : named.address         ? camera.xaddr.host == *named.address
                                           : camera.mac == named.mac;
        },
        "");
    const std::string shown = EscapeText(options.target);
    if (!pick.rivals.empty())
        throw CommandError(kExitUsage, "camera " + shown + " " + DescribeRivals(pick.rivals, session.links) +
                                           ": pick one with --interface");
    if (pick.camera == nullptr)
        throw CommandError(kExitNotFound, "no device " + shown + " answered within " +
                                              SecondsText(options.findTimeoutSeconds) + " s");
    ChangeItem item;
    item.mac = pick.camera->mac.value_or(Mac{});
    item.link = pick.camera->link;
    item.oldIp = FormatIpv4(pick.camera->xaddr.host);
    item.camera = CameraChange{pick.camera->endpoint, pick.camera->xaddr.text, std::nullopt,
                               options.prefixLength, std::nullopt};
    if (!options.gateway.empty())
        item.camera->gateway = ParseIpv4(options.gateway);
    item.camera->credentials = CameraCredentials(book, item);
    return item;
}

} // namespace

int RunSetIp(Host& host, const SetIpOptions& options, std::ostream& out, std::ostream& err) {
    const Named named = ReadTarget(options.target);
    std::optional<Ipv4> target = ParseIpv4(options.newIp);
    if (!target)
        throw CommandError(kExitUsage, "bad address '" + EscapeText(options.newIp) +
                                           "' (four numbers 0 to 255 joined by dots)");
    // No device can take these, so not even --force sends them.
    if (std::string refusal = RefusalOf(*target, nullptr); !refusal.empty())
        throw CommandError(kExitUsage, refusal);
    if (!options.gateway.empty() && !ParseIpv4(options.gateway))
        throw CommandError(kExitUsage, "bad gateway '" + EscapeText(options.gateway) + "'");
    // Asked before the search: a password typed at the terminal must not wait for the network.
    const onvif::CredentialBook book = LoadCredentials(host, options.credentials);

    // WS-Discovery too: the device may be a camera, and a camera may hold the address.
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
    const DeviceList& list = search.list();
    // A MAC is one of ours when one of ours answered with it, else a camera's.
    const bool ours = named.mac && !list.FindAll(*named.mac).empty();
    if (ours && (options.prefixLength || !options.gateway.empty()))
        throw CommandError(kExitUsage, "--prefix-length and --gateway are for cameras: our change command "
                                       "carries the address alone");
    std::vector<ChangeItem> items{ours ? OurChange(*named.mac, list, options, session)
                                       : CameraChangeOf(named, list, options, session, book)};
    ChangeItem& item = items.front();
    const std::string name = DeviceName(item);
    const std::string oldShown = EscapeText(item.oldIp);
    const std::string asked = FormatIpv4(*target);
    item.newIp = asked;
    if (item.oldIp == asked) {
        out << name << ": already has " << asked << "; nothing sent\n";
        return kExitDone;
    }
    if (!options.force)
        RefuseOnLink(item.link, *target, session, list, others);
    item.inSubnet = session.links.at(item.link).subnet.Contains(*target);
    WarnOutsideSubnet(err, items, session.links);

    ChangeRun run(*session.wire, session.links, items, AllAtOnce(items), err);
    UseCamerasOf(run, items, host, options.cameraTimeoutSeconds, !options.noReboot, err);
    const double waited = item.camera ? options.cameraTimeoutSeconds : options.timeoutSeconds;
    PaceEnd end = run.Run(SecondsToDuration(options.timeoutSeconds), nullptr);
    if (end != PaceEnd::Interrupted && !run.AnySent())
        throw CommandError(kExitFailure, "the change command could not be sent: " + run.LastSendError());
    switch (item.status) {
    case ChangeStatus::Confirmed:
        out << name << ": " << oldShown << " -> " << asked << '\n';
        return kExitDone;
    case ChangeStatus::Other:
        out << name << ": " << oldShown << " -> " << EscapeText(item.gotIp) << '\n';
        throw CommandError(kExitNotConfirmed, name + " confirmed another address than asked: it took " +
                                                  EscapeText(item.gotIp) + ", not " + asked);
    default:
        if (end == PaceEnd::Interrupted)
            throw CommandError(kExitFailure, item.sends == 0
                                                 ? "interrupted before the change was sent"
                                                 : "interrupted before " + name + " confirmed the change");
        if (item.detail == "reboot needed")
            throw CommandError(kExitNotConfirmed, name + " took " + asked +
                                                      " but needs a reboot for it (--no-reboot): reboot it "
                                                      "to finish the change");
        if (item.detail == "auth needed")
            throw CommandError(kExitNotConfirmed, name +
                                                      " wants credentials: give --user NAME (the password "
                                                      "from QUILLCTL_PASSWORD, --password-file or the "
                                                      "terminal) or --credentials FILE; nothing was changed");
        if (item.camera && item.detail != "unconfirmed")
            throw CommandError(kExitNotConfirmed, name + ": " + item.detail);
        throw CommandError(kExitNotConfirmed, name + " did not confirm " + asked + " within " +
                                                  SecondsText(waited) + " s (it last answered with " +
                                                  oldShown + ")");
    }
}

} // namespace quillctl
