#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "commands/camera_changes.h"
#include "plan/address_allocation.h"
#include "plan/address_rules.h"
#include "plan/change_report.h"
#include "commands/commands.h"
#include "output/device_rows.h"
#include "net/exit_status.h"
#include "commands/other_holders.h"
#include "plan/plan_check.h"
#include "plan/plan_order.h"
#include "plan/plan_reader.h"
#include "plan/progress_line.h"
#include "onvif/onvif_search.h"
#include "net/search.h"
#include "commands/session.h"
#include "net/text_escape.h"
#include "output/text_files.h"

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

// How many times a choice of free addresses is made again when one turns out to answer ARP.
constexpr int kAddressChoices = 8;

// Plan errors, each on its own line with the file's line number, then the error that ends the run:
// exit 4 when each is a device that did not answer, as set-ip's, else exit 2.
[[noreturn]] void RefusePlan(const std::vector<PlanProblem>& problems, const ApplyOptions& options,
                             std::ostream& err) {
    for (const PlanProblem& problem : problems) {
        err << "quillctl: ";
        if (problem.line > 0)
            err << EscapeName(options.planPath) << ':' << problem.line << ": ";
        err << problem.message << '\n';
    }
    const bool notFound = std::all_of(problems.begin(), problems.end(),
                                      [](const PlanProblem& problem) { return problem.notFound; });
    throw CommandError(notFound ? kExitNotFound : kExitUsage,
                       std::to_string(problems.size()) + (problems.size() == 1 ? " error" : " errors") +
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

std::vector<Ipv4> Keys(const std::map<Ipv4, std::string>& held) {
    std::vector<Ipv4> keys;
    for (const auto& [address, who] : held)
        keys.push_back(address);
    return keys;
}

// --from: the allocation, made again without each address that turns out to answer ARP.
std::vector<PlanLine> Allocate(const PlanSource& source, const Search& search, const Session& session,
                               OtherHolders& others) {
    std::vector<DeviceRow> rows = BuildRows(search.list(), session.links, session.hostAddresses);
    std::vector<Ipv4> known = Keys(others.Find(search.list()));
    for (int attempt = 0; attempt < kAddressChoices; ++attempt) {
        Allocation allocation =
            AllocateFrom(*source.first, source.selection, search.list(), rows, session.links,
                         session.hostAddresses, std::set<Ipv4>(known.begin(), known.end()));
        if (!allocation.error.empty())
            throw CommandError(kExitUsage, allocation.error);
        std::vector<Ipv4> chosen;
        for (const PlanLine& line : allocation.lines)
            chosen.push_back(*line.newIp);
        others.Ask(chosen);
        std::vector<Ipv4> held = Keys(others.Find(search.list()));
        if (held.size() == known.size())
            return allocation.lines;
        known = held;
    }
    throw CommandError(kExitFailure, "too many of the free addresses from " + FormatIpv4(*source.first) +
                                         " answer ARP; choose another FIRST_IP");
}

// The order of the changes, each cycle through a free address that does not answer ARP either.
ChangeOrder Order(const std::vector<ChangeItem>& items, const Search& search, const Session& session,
                  OtherHolders& others) {
    std::set<Ipv4> taken = HeldAddresses(search.list(), session.hostAddresses);
    for (const ChangeItem& item : items)
        if (std::optional<Ipv4> address = ParseIpv4(item.newIp))
            taken.insert(*address);
    for (int attempt = 0; attempt < kAddressChoices; ++attempt) {
        for (Ipv4 address : Keys(others.Find(search.list())))
            taken.insert(address);
        std::set<Ipv4> given = taken;
        ChangeOrder order = OrderChanges(items, [&](size_t link) {
            const Link& on = session.links.at(link);
            std::optional<Ipv4> free = FreeAddressFrom(Ipv4{on.subnet.Network().value + 1}, on, given);
            if (free)
                given.insert(*free);
            return free;
        });
        if (!order.error.empty())
            throw CommandError(kExitUsage, order.error);
        std::vector<Ipv4> stops;
        for (const ChangeStep& step : order.steps)
            if (step.parking)
                stops.push_back(step.target);
        if (stops.empty())
            return order;
        others.Ask(stops);
        std::map<Ipv4, std::string> held = others.Find(search.list());
        if (std::none_of(stops.begin(), stops.end(), [&](Ipv4 stop) { return held.count(stop) > 0; }))
            return order;
    }
    throw CommandError(kExitFailure, "too many free addresses answer ARP to carry out the plan's swaps");
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
    // Asked before the search: a password typed at the terminal must not wait for the network.
    const onvif::CredentialBook book = LoadCredentials(host, options.credentials);
    if (std::any_of(source.plan.problems.begin(), source.plan.problems.end(),
                    [](const PlanProblem& problem) { return problem.refusedOutright; }))
        RefusePlan(source.plan.problems, options, err);

    // WS-Discovery too: a camera of another make may hold an address the plan gives.
    WireOptions wireOptions;
    wireOptions.onvif = true;
    Session session = OpenSession(host, options.interfaces, err, wireOptions);
    SearchProtocols protocols;
    protocols.onvif = CameraProbes();
    Search search(*session.wire, session.links, err, protocols);
    OtherHolders others(host, session.links, *session.wire);
    std::vector<Ipv4> targets;
    for (const PlanLine& line : source.plan.lines)
        if (line.newIp)
            targets.push_back(*line.newIp);
    // Asked now, answered while the search runs.
    others.Ask(targets);
    if (source.first || !targets.empty())
        SearchTheWholeTime(search, session, host, options.findTimeoutSeconds);

    std::vector<PlanLine> lines =
        source.first ? Allocate(source, search, session, others) : source.plan.lines;
    const std::map<Ipv4, std::string> heldElsewhere = others.Find(search.list());
    CheckedPlan checked =
        CheckPlan(lines, NetworkView{search.list(), session.links, session.hostAddresses, &heldElsewhere});
    std::vector<PlanProblem> problems = source.plan.problems;
    problems.insert(problems.end(), checked.problems.begin(), checked.problems.end());
    std::stable_sort(problems.begin(), problems.end());
    if (!problems.empty())
        RefusePlan(problems, options, err);

    std::vector<ChangeItem>& items = checked.items;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].camera)
            items[i].camera->credentials = CameraCredentials(book, items[i], checked.itemUsers.at(i));
    ChangeOrder order = Order(items, search, session, others);
    WarnOutsideSubnet(err, items, session.links);
    if (options.dryRun) {
        WriteDryRun(out, items);
        WriteOrder(out, order, items);
        return kExitDone;
    }
    ProgressLine progress(err, host.ErrorStreamIsTerminal());
    ChangeRun run(*session.wire, session.links, items, std::move(order.steps), err);
    UseCamerasOf(run, items, host, options.cameraTimeoutSeconds, !options.noReboot, err, &progress);
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
        throw CommandError(kExitFailure,
                           "interrupted; the changes not confirmed by then are reported as failed "
                           "(detail interrupted) or, when nothing was sent, skipped (detail unsent)");
    size_t failed = 0, other = 0, unsent = 0, asked = 0;
    for (const ChangeItem& item : items) {
        const bool notSent = item.status == ChangeStatus::Skipped && !item.detail.empty();
        failed += item.status == ChangeStatus::Failed ? 1 : 0;
        other += item.status == ChangeStatus::Other ? 1 : 0;
        unsent += notSent ? 1 : 0;
        asked += item.status != ChangeStatus::Skipped || notSent ? 1 : 0;
    }
    if (asked > 0 && !run.AnySent())
        throw CommandError(kExitFailure, "no change command could be sent: " + run.LastSendError());
    if (failed + other + unsent > 0) {
        std::string message = std::to_string(failed + other + unsent) + " of " + std::to_string(asked) +
                              " changes not done as asked:";
        std::string separator = " ";
        auto part = [&](size_t count, const std::string& what) {
            if (count == 0)
                return;
            message += separator + std::to_string(count) + " " + what;
            separator = ", ";
        };
        part(failed, "not confirmed within the wait");
        part(other, "confirmed with another address (status other)");
        part(unsent, "not sent (status skipped, detail unsent)");
        throw CommandError(kExitNotConfirmed, message);
    }
    return kExitDone;
}

} // namespace quillctl
