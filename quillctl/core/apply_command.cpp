#include <algorithm>
#include <set>
#include <sstream>

#include "address_allocation.h"
#include "address_rules.h"
#include "change_report.h"
#include "commands.h"
#include "device_rows.h"
#include "exit_status.h"
#include "plan_check.h"
#include "plan_reader.h"
#include "progress_line.h"
#include "search.h"
#include "session.h"
#include "text_escape.h"
#include "text_files.h"

namespace quillctl {

namespace {

struct PlanSource {
    Plan plan;                 // from a file
    std::optional<Ipv4> first; // or --from
    Selection selection = Selection::All;
};

PlanSource ReadSource(const ApplyOptions& options) {
    PlanSource source;
    if (!options.planPath.empty()) {
        std::string error;
        std::optional<std::string> text = ReadSmallFile(options.planPath, kMaxPlanBytes, error);
        if (!text)
            throw CommandError(kExitUsage,
                               "cannot read the plan " + EscapeName(options.planPath) + ": " + error);
        std::optional<std::string> utf8 = TextAsUtf8(*text, error);
        if (!utf8)
            throw CommandError(kExitUsage,
                               "cannot read the plan " + EscapeName(options.planPath) + ": " + error);
        source.plan = ReadPlan(*utf8);
        return source;
    }
    if (options.from.empty())
        throw CommandError(kExitUsage, "apply needs a plan file, or --from FIRST_IP with --select");
    if (options.select.empty())
        throw CommandError(kExitUsage, "--from needs --select unreachable, duplicate or all");
    source.first = ParseIpv4(options.from);
    if (!source.first)
        throw CommandError(kExitUsage, "bad address '" + EscapeText(options.from) + "' for --from");
    if (std::string refusal = RefusalOf(*source.first, nullptr); !refusal.empty())
        throw CommandError(kExitUsage, refusal);
    if (options.select == "unreachable")
        source.selection = Selection::Unreachable;
    else if (options.select == "duplicate")
        source.selection = Selection::Duplicate;
    else if (options.select == "all")
        source.selection = Selection::All;
    else
        throw CommandError(kExitUsage, "--select takes unreachable, duplicate or all");
    return source;
}

// Plan errors, each on its own line with the file's line number, then the error that ends the run.
[[noreturn]] void RefusePlan(const std::vector<PlanProblem>& problems, const ApplyOptions& options,
                             std::ostream& err) {
    for (const PlanProblem& problem : problems) {
        err << "quillctl: ";
        if (problem.line > 0)
            err << EscapeName(options.planPath) << ':' << problem.line << ": ";
        err << problem.message << '\n';
    }
    throw CommandError(kExitUsage, std::to_string(problems.size()) +
                                       (problems.size() == 1 ? " error" : " errors") +
                                       " in the plan; nothing was sent");
}

void WriteReportFile(const ApplyOptions& options, ReportFormat format, const std::vector<ChangeItem>& items) {
    std::ostringstream text;
    WriteReport(text, format, items);
    std::string error;
    if (!WriteFileAtomically(options.reportPath, text.str(), error))
        throw CommandError(kExitFailure,
                           "cannot write the report " + EscapeName(options.reportPath) + ": " + error);
}

} // namespace

int RunApply(Host& host, const ApplyOptions& options, std::ostream& out, std::ostream& err) {
    std::optional<ReportFormat> reportFormat;
    if (!options.reportPath.empty()) {
        reportFormat = ReportFormatFor(options.reportPath);
        if (!reportFormat)
            throw CommandError(kExitUsage, "the report's name must end in .csv or .json: " +
                                               EscapeName(options.reportPath));
        std::string error;
        if (!CanWriteFile(options.reportPath, error))
            throw CommandError(kExitFailure,
                               "cannot write the report " + EscapeName(options.reportPath) + ": " + error);
    }
    PlanSource source = ReadSource(options);
    if (std::any_of(source.plan.problems.begin(), source.plan.problems.end(),
                    [](const PlanProblem& problem) { return problem.refusedOutright; }))
        RefusePlan(source.plan.problems, options, err);

    Session session = OpenSession(host, options.interfaces);
    Search search(*session.wire, session.links, err);
    std::set<Mac> targets;
    for (const PlanLine& line : source.plan.lines)
        if (line.newIp)
            targets.insert(line.mac);
    const bool searching = source.first || !targets.empty();
    if (searching) {
        SearchRules rules;
        rules.deadline = session.wire->Now() + SecondsToDuration(options.findTimeoutSeconds);
        // A plan names its devices: once all have answered, the search ends at the next tick, which
        // leaves every other device that answered the same searches time to be heard too.
        if (!source.first)
            rules.doneAtTick = [&](const DeviceList& list) {
                return std::all_of(targets.begin(), targets.end(),
                                   [&](const Mac& mac) { return list.Find(mac) != nullptr; });
            };
        if (search.Run(rules) == PaceEnd::Interrupted)
            throw CommandError(kExitFailure, "interrupted before anything was sent");
        search.RequireSent();
    }

    std::vector<PlanLine> lines = source.plan.lines;
    if (source.first) {
        std::vector<DeviceRow> rows = BuildRows(search.list(), session.links, session.hostAddresses);
        Allocation allocation = AllocateFrom(*source.first, source.selection, search.list(), rows,
                                             session.links, session.hostAddresses);
        if (!allocation.error.empty())
            throw CommandError(kExitUsage, allocation.error);
        lines = std::move(allocation.lines);
    }
    CheckedPlan checked = CheckPlan(lines, NetworkView{search.list(), session.links, session.hostAddresses});
    std::vector<PlanProblem> problems = source.plan.problems;
    problems.insert(problems.end(), checked.problems.begin(), checked.problems.end());
    std::stable_sort(problems.begin(), problems.end());
    if (!problems.empty())
        RefusePlan(problems, options, err);

    std::vector<ChangeItem>& items = checked.items;
    if (options.dryRun) {
        WriteDryRun(out, items);
        return kExitDone;
    }
    ProgressLine progress(err, host.ErrorStreamIsTerminal());
    ChangeRun run(*session.wire, session.links, items, err);
    PaceEnd end =
        run.Run(SecondsToDuration(options.timeoutSeconds),
                [&](const ChangeCounts& counts, double seconds) { progress.Show(counts, seconds); });
    progress.Clear();
    // The report first: it is the record of what was changed, and must not depend on whether
    // standard output still has a reader.
    if (reportFormat)
        WriteReportFile(options, *reportFormat, items);
    WriteResultTable(out, items);
    out.flush();

    if (end == PaceEnd::Interrupted)
        throw CommandError(kExitFailure, "interrupted; changes not confirmed by then are reported as failed");
    size_t failed = 0, other = 0, sent = 0;
    for (const ChangeItem& item : items) {
        failed += item.status == ChangeStatus::Failed ? 1 : 0;
        other += item.status == ChangeStatus::Other ? 1 : 0;
        sent += item.status == ChangeStatus::Skipped ? 0 : 1;
    }
    if (failed + other > 0) {
        std::string message =
            std::to_string(failed + other) + " of " + std::to_string(sent) + " changes not done as asked:";
        if (failed)
            message += " " + std::to_string(failed) + " not confirmed within the wait";
        if (other)
            message += std::string(failed ? "," : "") + " " + std::to_string(other) +
                       " confirmed with another address (status other)";
        throw CommandError(kExitNotConfirmed, message);
    }
    return kExitDone;
}

} // namespace quillctl
