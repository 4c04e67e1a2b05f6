#pragma once
// Reading a plan: the CSV that find writes, with one more column, new_ip, as it comes back from a
// user's editor or spreadsheet. Every line that cannot be a change is named by its own line number
// (the header is line 1). What needs the network (is the MAC or camera there, is the address free) is
// checked later, by CheckPlan.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/ipv4.h"
#include "net/mac_argument.h"

namespace quillctl {

// Far larger than a plan for every device a list can hold.
inline constexpr size_t kMaxPlanBytes = 4 * 1024 * 1024;

// Prefix lengths a camera may be given: below 8 is no LAN anyone builds (a typing slip more likely),
// above 30 leaves the camera fewer than two host addresses beside its own subnet's and broadcast
// address, so nothing could reach it.
inline constexpr int kMinPrefixLength = 8;
inline constexpr int kMaxPrefixLength = 30;

struct PlanLine {
    int line = 0;
    Mac mac{};                 // a camera's may be all zero (its MAC cell empty)
    std::optional<Ipv4> newIp; // nothing: the line asks no change (its new_ip is empty)
    std::string interface;     // the interface column: the link the device answered on; empty for any
    // A WS-Discovery camera's line (protocol onvif, or an endpoint and no MAC): changed through its
    // device service, found by its endpoint. Only a camera's line may have the fields below it.
    bool camera = false;
    std::string endpoint;            // as the endpoint cell gives it
    std::optional<int> prefixLength; // nothing: the camera keeps its prefix length
    std::optional<Ipv4> gateway;     // nothing: its default gateway is left as it is
    std::string user;                // the camera's user name; empty: --user or --credentials say
};

struct PlanProblem {
    int line = 0;
    std::string message;
    // A plan that asks what quillctl never does (a password in the plan, a prefix length, gateway or
    // user for one of our devices, whose command carries only the address): it is refused before
    // anything, a search included, is sent.
    bool refusedOutright = false;
    bool notFound = false; // the line's MAC or camera did not answer the search
    bool operator<(const PlanProblem& other) const { return line < other.line; }
};

struct Plan {
    std::vector<PlanLine> lines;
    std::vector<PlanProblem> problems;
};

// Columns are found by name in the header (mac and new_ip; interface where there is one, binding the
// line to the device on that link, as find writes it: a name or an address; protocol and endpoint
// telling a camera's line, with its prefix_length, gateway and user; the others are read past). One
// leading ' of a cell is taken off (find writes it before a cell a spreadsheet could run as a formula,
// and before one that begins with ' itself), so its CSV reads back as it was written. Blank lines and
// lines with neither a MAC nor a new address are skipped. Refused: a password column (passwords never
// sit in a plan), a quote never closed, more cells than the header names, a bad MAC, a bad address or
// one no device can take, an address twice, a MAC twice on one interface (or twice where a line names
// none: find lists a MAC once per interface) and an endpoint likewise, a camera's line asking a change
// without an endpoint, a bad prefix length or gateway, and a prefix length, gateway or user on a line
// of one of our devices.
Plan ReadPlan(std::string_view text);

} // namespace quillctl
