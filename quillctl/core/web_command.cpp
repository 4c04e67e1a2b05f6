#include "commands.h"
#include "device_table.h"
#include "device_url.h"
#include "exit_status.h"
#include "search.h"
#include "seconds_text.h"
#include "session.h"
#include "text_escape.h"

namespace quillctl {

int RunWeb(Host& host, const WebOptions& options, std::ostream& out, std::ostream& err) {
    std::optional<Mac> mac = ParseMacArgument(options.target);
    std::optional<Ipv4> address = mac ? std::nullopt : ParseIpv4(options.target);
    if (!mac && !address)
        throw CommandError(kExitUsage, "'" + EscapeText(options.target) +
                                           "' is neither a MAC nor a dotted IPv4 address; nothing opened");
    const std::string addressText = address ? FormatIpv4(*address) : "";
    auto sought = [&](const DeviceList& list) -> const FoundDevice* {
        if (mac)
            return list.Find(*mac);
        for (const FoundDevice& device : list.devices())
            if (device.ipText == addressText)
                return &device;
        return nullptr;
    };

    Session session = OpenSession(host, options.interfaces);
    Search search(*session.wire, session.links, err);
    SearchRules rules;
    rules.deadline = session.wire->Now() + SecondsToDuration(options.findTimeoutSeconds);
    rules.doneNow = [&](const DeviceList& list) { return sought(list) != nullptr; };
    if (search.Run(rules) == PaceEnd::Interrupted)
        throw CommandError(kExitFailure, "interrupted");
    search.RequireSent();
    const FoundDevice* device = sought(search.list());
    if (device == nullptr) {
        throw CommandError(kExitNotFound,
                           "no device " + (mac ? "with MAC " + MacText(*mac) : "at " + addressText) +
                               " answered within " + SecondsText(options.findTimeoutSeconds) + " s");
    }
    // The address text came from the network and goes to the browser: only a plain address is opened.
    char url[quillmast::kDeviceUrlCapacity];
    if (!quillmast::FormatDeviceUrl(device->ipText.c_str(),
                                    device->httpPort.value_or(quillmast::kDefaultHttpPort), url))
        throw CommandError(kExitUsage, "device " + MacText(device->mac) + " answers with the address text '" +
                                           EscapeText(device->ipText) +
                                           "', which is not a dotted IPv4 address; nothing opened");
    out << url << '\n';
    out.flush();
    if (std::string error = host.OpenInBrowser(url); !error.empty())
        throw CommandError(kExitFailure, "cannot open " + std::string(url) + ": " + error);
    return kExitDone;
}

} // namespace quillctl
