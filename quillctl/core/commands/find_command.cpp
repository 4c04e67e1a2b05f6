#include <algorithm>
#include <map>

#include "onvif/camera_rows.h"
#include "commands/commands.h"
#include "output/device_rows.h"
#include "net/exit_status.h"
#include "output/rows_destination.h"
#include "onvif/onvif_search.h"
#include "net/search.h"
#include "output/seconds_text.h"
#include "commands/session.h"
#include "net/text_escape.h"

namespace quillctl {

namespace {

// Prints the rows that are new or differ from what was printed before (--watch, and JSON lines). Rows
// are told apart by their number. With --watch, a device that said Bye is noted on `err` (the rows stay
// the devices' own facts), and prints again on its return.
class RowStream {
  public:
    RowStream(std::ostream& out, std::ostream& err, RowFormat format, bool watch, size_t nameWidth,
              bool onvifColumns)
        : out_(out), err_(err), format_(format), watch_(watch), nameWidth_(nameWidth),
          onvifColumns_(onvifColumns) {}

    void Header() { WriteStreamHeader(out_, format_, nameWidth_, onvifColumns_); }

    void Flush(const std::vector<DeviceRow>& rows) {
        std::map<int, DeviceRow> present;
        for (const DeviceRow& row : rows) {
            auto shown = shown_.find(row.number);
            if (shown == shown_.end() || (watch_ && shown->second != row))
                WriteStreamRow(out_, format_, nameWidth_, onvifColumns_, row);
            present.emplace(row.number, row);
        }
        if (watch_)
            for (const auto& [number, row] : shown_)
                if (!present.count(number))
                    err_ << "quillctl: device " << number << " (" << row.endpoint << ", " << row.ip
                         << ") said Bye\n";
        shown_ = std::move(present);
    }

  private:
    std::ostream& out_;
    std::ostream& err_;
    RowFormat format_;
    bool watch_;
    size_t nameWidth_;
    bool onvifColumns_;
    std::map<int, DeviceRow> shown_;
};

SearchProtocols ProtocolsOf(const FindOptions& options) {
    SearchProtocols protocols;
    protocols.quill = options.protocol != FindProtocol::Onvif;
    if (options.protocol != FindProtocol::Quill)
        protocols.onvif = OnvifProbes(options.onvifTypes);
    return protocols;
}

// The WS-Discovery messages a run left aside, once, at its end.
void ReportIgnored(const Search& search, std::ostream& err) {
    if (std::string summary = search.IgnoredSummary(); !summary.empty())
        err << "quillctl: note: " << summary << '\n';
}

} // namespace

int RunFind(Host& host, const FindOptions& options, std::ostream& terminalOut, std::ostream& err) {
    if (options.watch && options.format == RowFormat::Json)
        throw CommandError(kExitUsage,
                           "--watch prints changes as they come: use --format table, csv or jsonl");
    if (options.watch && !options.outputPath.empty())
        throw CommandError(kExitUsage, "--output writes the list when the search ends: not with --watch");
    if (options.details && (options.watch || options.format == RowFormat::Jsonl))
        throw CommandError(kExitUsage, "--details asks the cameras once the search is over: not with --watch "
                                       "or --format jsonl");
    if (options.details && options.protocol == FindProtocol::Quill)
        throw CommandError(kExitUsage, "--details needs --protocol onvif or all");
    RowsDestination destination(terminalOut, options.outputPath, options.format);
    std::ostream& out = destination.out();
    onvif::CredentialBook credentials;
    if (options.details)
        credentials = LoadCredentials(host, options.credentials);
    const SearchProtocols protocols = ProtocolsOf(options);
    const bool onvif = static_cast<bool>(protocols.onvif);
    WireOptions wireOptions;
    wireOptions.onvif = onvif;
    wireOptions.onvifAnnounced = onvif && options.watch;
    Session session = OpenSession(host, options.interfaces, err, wireOptions);
    if (std::string warning = session.wire->SetupWarning(); !warning.empty())
        err << "quillctl: warning: " << warning << '\n';
    Search search(*session.wire, session.links, err, protocols);
    auto rows = [&] { return BuildRows(search.list(), session.links, session.hostAddresses); };

    const bool streaming = options.watch || options.format == RowFormat::Jsonl;
    size_t nameWidth = 0;
    for (const Link& link : session.links)
        nameWidth = std::max(nameWidth, EscapeName(link.name).size());
    RowStream stream(out, err, options.format, options.watch, nameWidth, onvif);
    bool changed = false;
    SearchRules rules;
    rules.deadline = options.watch ? Clock::time_point::max()
                                   : session.wire->Now() + SecondsToDuration(options.timeoutSeconds);
    rules.onChange = [&](int) { changed = true; };
    rules.doneNow = [&](const DeviceList& list) {
        if (streaming && changed)
            stream.Flush(rows());
        changed = false;
        if (!out)
            return true; // no one reads on: the search has no use
        return options.count && list.PresentCount() >= static_cast<size_t>(*options.count);
    };
    if (options.watch)
        stream.Header();

    PaceEnd end = search.Run(rules);
    if (end == PaceEnd::Interrupted && options.watch) {
        search.HintIfSilent(host.NoReplyHint());
        ReportIgnored(search, err);
        return kExitDone;
    }
    search.RequireSent();
    search.HintIfSilent(host.NoReplyHint());
    size_t undescribed = 0;
    if (!streaming) {
        std::vector<DeviceRow> found = rows();
        if (options.details && out) // a reader that went away needs no camera asked
            undescribed =
                AddCameraDetails(host.Http(), host.PlatformCrypto(), credentials, search.list(), found, err);
        WriteRows(out, options.format, found, onvif, options.details);
    }
    destination.Finish();
    ReportIgnored(search, err);
    if (end == PaceEnd::Interrupted)
        throw CommandError(kExitFailure, "interrupted");
    size_t found = search.list().PresentCount();
    if (options.count && found < static_cast<size_t>(*options.count)) {
        throw CommandError(kExitNotFound, std::to_string(found) + " of " + std::to_string(*options.count) +
                                              " devices answered within " +
                                              SecondsText(options.timeoutSeconds) + " s");
    }
    if (undescribed > 0)
        throw CommandError(kExitNotConfirmed,
                           std::to_string(undescribed) + " cameras did not tell their details");
    return kExitDone;
}

} // namespace quillctl
