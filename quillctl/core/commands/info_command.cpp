#include <algorithm>

#include "onvif/camera_rows.h"
#include "commands/commands.h"
#include "net/exit_status.h"
#include "onvif/onvif_facts.h"
#include "output/rows_destination.h"
#include "onvif/onvif_search.h"
#include "net/search.h"
#include "output/seconds_text.h"
#include "commands/session.h"
#include "net/text_escape.h"

namespace quillctl {

namespace {

// A camera named on the command line, and whether one answered to it.
struct Target {
    std::string text;
    std::optional<Mac> mac;
    std::optional<Ipv4> address;
    bool endpoint = false;
    bool found = false;
};

std::vector<Target> ReadTargets(const std::vector<std::string>& texts) {
    std::vector<Target> targets;
    for (const std::string& text : texts) {
        Target target;
        target.text = text;
        target.endpoint = LooksLikeEndpoint(text);
        if (!target.endpoint && !(target.mac = ParseMacArgument(text)) && !(target.address = ParseIpv4(text)))
            throw CommandError(kExitUsage, "'" + EscapeText(text) +
                                               "' is neither a MAC, a dotted IPv4 address nor an endpoint "
                                               "(urn:...)");
        targets.push_back(std::move(target));
    }
    return targets;
}

bool Matches(const Target& target, const OnvifDevice& device, const std::optional<Mac>& mac) {
    if (target.endpoint)
        return device.endpoint == target.text;
    if (target.address)
        return device.xaddr.host == *target.address;
    return mac && *mac == *target.mac;
}

// Every target answered, as far as the search alone can tell (a MAC may only be known from the camera's
// interface, after the search).
bool AllFound(const std::vector<Target>& targets, const DeviceList& list) {
    return std::all_of(targets.begin(), targets.end(), [&](const Target& target) {
        return std::any_of(
            list.onvifDevices().begin(), list.onvifDevices().end(),
            [&](const OnvifDevice& device) { return !device.gone && Matches(target, device, device.mac); });
    });
}

} // namespace

int RunInfo(Host& host, const InfoOptions& options, std::ostream& terminalOut, std::ostream& err) {
    std::vector<Target> targets = ReadTargets(options.targets);
    RowsDestination destination(terminalOut, options.outputPath, options.format);
    onvif::CredentialBook credentials = LoadCredentials(host, options.credentials);

    SearchProtocols protocols;
    protocols.quill = false;
    protocols.onvif = CameraProbes();
    WireOptions wireOptions;
    wireOptions.onvif = true;
    Session session = OpenSession(host, options.interfaces, err, wireOptions);
    if (std::string warning = session.wire->SetupWarning(); !warning.empty())
        err << "quillctl: warning: " << warning << '\n';
    Search search(*session.wire, session.links, err, protocols);
    SearchRules rules;
    rules.deadline = session.wire->Now() + SecondsToDuration(options.findTimeoutSeconds);
    rules.doneNow = [&](const DeviceList& list) { return !targets.empty() && AllFound(targets, list); };
    if (search.Run(rules) == PaceEnd::Interrupted)
        throw CommandError(kExitFailure, "interrupted");
    search.RequireSent();
    search.HintIfSilent(host.NoReplyHint());

    const DeviceList& list = search.list();
    std::vector<DeviceRow> rows = BuildRows(list, session.links, session.hostAddresses);
    // Marks the targets a row answers to, by its scopes or (once asked) its interface's MAC.
    auto mark = [&](const DeviceRow& row) {
        const OnvifDevice* device = OnvifDeviceOfRow(list, row);
        if (device == nullptr)
            return false;
        std::optional<Mac> interfaceMac = ParseMacArgument(row.mac);
        bool any = false;
        for (Target& target : targets)
            if (Matches(target, *device, device->mac) || Matches(target, *device, interfaceMac))
                any = target.found = true;
        return any;
    };
    // A named MAC that no scope gives may still be a camera's interface: then every camera is asked.
    if (!targets.empty() && AllFound(targets, list))
        std::erase_if(rows, [&](const DeviceRow& row) { return !mark(row); });
    size_t failed = AddCameraDetails(host.Http(), host.PlatformCrypto(), credentials, list, rows, err);
    if (!targets.empty())
        std::erase_if(rows, [&](const DeviceRow& row) { return !mark(row); });
    WriteRows(destination.out(), options.format, rows, true, true);
    destination.Finish();
    if (std::string summary = search.IgnoredSummary(); !summary.empty())
        err << "quillctl: note: " << summary << '\n';
    for (const Target& target : targets)
        if (!target.found)
            throw CommandError(kExitNotFound, "no camera " + EscapeText(target.text) + " answered within " +
                                                  SecondsText(options.findTimeoutSeconds) + " s");
    if (failed > 0)
        throw CommandError(kExitNotConfirmed, std::to_string(failed) + " of " + std::to_string(rows.size()) +
                                                  " cameras did not tell their details");
    return kExitDone;
}

} // namespace quillctl
