#include "commands/commands.h"
#include "device_table.h"
#include "device_url.h"
#include "net/exit_status.h"
#include "onvif/onvif_facts.h"
#include "onvif/onvif_search.h"
#include "net/search.h"
#include "output/seconds_text.h"
#include "commands/session.h"
#include "net/text_escape.h"

namespace quillctl {

namespace {

// The device found, of either kind: where its page is, and how to name it in a message.
struct WebTarget {
    std::string addressText; // as the device gave it: only a dotted address is opened
    int32_t port = quillmast::kDefaultHttpPort;
    std::string shownName;
};

std::optional<WebTarget> Sought(const DeviceList& list, const std::optional<Mac>& mac,
                                const std::string& addressText, const std::string& endpoint) {
    auto ours = [](const FoundDevice& device) {
        return WebTarget{device.ipText, device.httpPort.value_or(quillmast::kDefaultHttpPort),
                         "device " + MacText(device.mac)};
    };
    auto theirs = [](const OnvifDevice& device) {
        return WebTarget{FormatIpv4(device.xaddr.host), device.xaddr.port,
                         "device " + EscapeText(device.endpoint)};
    };
    if (mac) {
        if (const FoundDevice* device = list.Find(*mac))
            return ours(*device);
        return std::nullopt;
    }
    if (!endpoint.empty()) {
        const OnvifDevice* device = list.FindOnvif(endpoint);
        if (device && !device->gone)
            return theirs(*device);
        return std::nullopt;
    }
    for (const FoundDevice& device : list.devices())
        if (device.ipText == addressText)
            return ours(device);
    for (const OnvifDevice& device : list.onvifDevices())
        if (!device.gone && FormatIpv4(device.xaddr.host) == addressText)
            return theirs(device);
    return std::nullopt;
}

} // namespace

int RunWeb(Host& host, const WebOptions& options, std::ostream& out, std::ostream& err) {
    const bool byEndpoint = LooksLikeEndpoint(options.target);
    std::optional<Mac> mac = byEndpoint ? std::nullopt : ParseMacArgument(options.target);
    std::optional<Ipv4> address = mac || byEndpoint ? std::nullopt : ParseIpv4(options.target);
    if (!mac && !address && !byEndpoint)
        throw CommandError(kExitUsage,
                           "'" + EscapeText(options.target) +
                               "' is neither a MAC, a dotted IPv4 address nor an endpoint (urn:...); "
                               "nothing opened");
    const std::string addressText = address ? FormatIpv4(*address) : "";
    const std::string endpoint = byEndpoint ? options.target : "";

    // A MAC is one of ours, an endpoint a WS-Discovery device's, an address either kind's.
    SearchProtocols protocols;
    protocols.quill = !byEndpoint;
    if (!mac)
        protocols.onvif = CameraProbes();
    WireOptions wireOptions;
    wireOptions.onvif = !mac;
    Session session = OpenSession(host, options.interfaces, err, wireOptions);
    Search search(*session.wire, session.links, err, protocols);
    SearchRules rules;
    rules.deadline = session.wire->Now() + SecondsToDuration(options.findTimeoutSeconds);
    rules.doneNow = [&](const DeviceList& list) {
        return Sought(list, mac, addressText, endpoint).has_value();
    };
    if (search.Run(rules) == PaceEnd::Interrupted)
        throw CommandError(kExitFailure, "interrupted");
    search.RequireSent();
    search.HintIfSilent(host.NoReplyHint());
    std::optional<WebTarget> device = Sought(search.list(), mac, addressText, endpoint);
    if (!device) {
        std::string sought = mac       ? "with MAC " + MacText(*mac)
                             : address ? "at " + addressText
                                       : EscapeText(endpoint);
        throw CommandError(kExitNotFound, "no device " + sought + " answered within " +
                                              SecondsText(options.findTimeoutSeconds) + " s");
    }
    // The address text came from the network and goes to the browser: only a plain address is opened.
    char url[quillmast::kDeviceUrlCapacity];
    if (!quillmast::FormatDeviceUrl(device->addressText.c_str(), device->port, url))
        throw CommandError(kExitFailure, device->shownName + " answers with the address text '" +
                                             EscapeText(device->addressText) +
                                             "', which is not a dotted IPv4 address; nothing opened");
    out << url << '\n';
    out.flush();
    if (std::string error = host.OpenInBrowser(url); !error.empty())
        throw CommandError(kExitFailure, "cannot open " + std::string(url) + ": " + error);
    return kExitDone;
}

} // namespace quillctl
