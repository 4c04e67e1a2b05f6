#include <algorithm>

#include "commands.h"
#include "device_rows.h"
#include "exit_status.h"
#include "search.h"
#include "seconds_text.h"
#include "session.h"

namespace quillctl {

namespace {

// Prints the rows that are new or differ from what was printed before (--watch, and JSON lines).
class RowStream {
  public:
    RowStream(std::ostream& out, RowFormat format, bool changesToo, size_t nameWidth)
        : out_(out), format_(format), changesToo_(changesToo), nameWidth_(nameWidth) {}

    void Header() { WriteStreamHeader(out_, format_, nameWidth_); }

    void Flush(const std::vector<DeviceRow>& rows) {
        for (size_t i = 0; i < rows.size(); ++i)
            if (i >= shown_.size() || (changesToo_ && rows[i] != shown_[i]))
                WriteStreamRow(out_, format_, nameWidth_, rows[i]);
        shown_ = rows;
    }

  private:
    std::ostream& out_;
    RowFormat format_;
    bool changesToo_;
    size_t nameWidth_;
    std::vector<DeviceRow> shown_;
};

} // namespace

int RunFind(Host& host, const FindOptions& options, std::ostream& out, std::ostream& err) {
    if (options.watch && options.format == RowFormat::Json)
        throw CommandError(kExitUsage,
                           "--watch prints changes as they come: use --format table, csv or jsonl");
    Session session = OpenSession(host, options.interfaces);
    Search search(*session.wire, session.links, err);
    auto rows = [&] { return BuildRows(search.list(), session.links, session.hostAddresses); };

    const bool streaming = options.watch || options.format == RowFormat::Jsonl;
    size_t nameWidth = 0;
    for (const Link& link : session.links)
        nameWidth = std::max(nameWidth, link.name.size());
    RowStream stream(out, options.format, options.watch, nameWidth);
    bool changed = false;
    SearchRules rules;
    rules.deadline = options.watch ? Clock::time_point::max()
                                   : session.wire->Now() + SecondsToDuration(options.timeoutSeconds);
    rules.onChange = [&](const FoundDevice&, DeviceChange) { changed = true; };
    rules.doneNow = [&](const DeviceList& list) {
        if (streaming && changed)
            stream.Flush(rows());
        changed = false;
        return options.count && list.devices().size() >= static_cast<size_t>(*options.count);
    };
    if (options.watch)
        stream.Header();

    PaceEnd end = search.Run(rules);
    if (end == PaceEnd::Interrupted && options.watch)
        return kExitDone;
    search.RequireSent();
    if (!streaming)
        WriteRows(out, options.format, rows());
    out.flush();
    if (end == PaceEnd::Interrupted)
        throw CommandError(kExitFailure, "interrupted");
    size_t found = search.list().devices().size();
    if (options.count && found < static_cast<size_t>(*options.count)) {
        throw CommandError(kExitNotFound, std::to_string(found) + " of " + std::to_string(*options.count) +
                                              " devices answered within " +
                                              SecondsText(options.timeoutSeconds) + " s");
    }
    return kExitDone;
}

} // namespace quillctl
