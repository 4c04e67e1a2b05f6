#pragma once
// Reading a plan: the CSV that find writes, with one more column, new_ip, as it comes back from a
// user's editor or spreadsheet. Every line that cannot be a change is named by its own line number
// (the header is line 1). What needs the network (is the MAC there, is the address free) is checked
// later, by CheckPlan.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/ipv4.h"
#include "net/mac_argument.h"

namespace quillctl {

// Far larger than a plan for every device a list can hold.
inline constexpr size_t kMaxPlanBytes = 4 * 1024 * 1024;

struct PlanLine {
    int line = 0;
    Mac mac{};
    std::optional<Ipv4> newIp; // nothing: the line asks no change (its new_ip is empty)
    std::string interface;     // the interface column: the link the device answered on; empty for any
};

struct PlanProblem {
    int line = 0;
    std::string message;
    // A line that asks what quillctl never does (a WS-Discovery device's change): the plan is refused
    // before anything, a search included, is sent.
    bool refusedOutright = false;
    bool notFound = false; // the line's MAC did not answer the search
    bool operator<(const PlanProblem& other) const { return line < other.line; }
};

struct Plan {
    std::vector<PlanLine> lines;
    std::vector<PlanProblem> problems;
};

// Columns are found by name in the header (mac and new_ip; interface where there is one, binding the
// line to the device on that link, as find writes it: a name or an address; the others are read past).
// One leading ' of a cell is taken off (find writes it before a cell a spreadsheet could run as a
// formula, and before one that begins with ' itself), so its CSV reads back as it was written. Blank
// lines and lines with neither a MAC nor a new address are skipped. Refused: a quote never closed, more
// cells than the header names, a bad MAC, a bad address or one no device can take, an address twice, a
// MAC twice on one interface (or twice where a line names none: find lists a MAC once per interface),
// a new address for a WS-Discovery device (a line whose protocol is onvif, or with an endpoint and no
// MAC, as find --protocol all writes them); such a line without a new address is skipped.
Plan ReadPlan(std::string_view text);

} // namespace quillctl
