#include "plan/plan_reader.h"

#include <map>

#include "plan/address_rules.h"
#include "output/csv_text.h"
#include "onvif/onvif_refusal.h"
#include "net/text_escape.h"

namespace quillctl {

namespace {

std::string_view Trim(std::string_view text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// A cell's text without the ' that CsvField puts before a cell a spreadsheet could take for a
// formula, and without the blanks around it.
std::string_view Cell(std::string_view field) { return Trim(CsvCellText(field)); }

// A cell quoted in a message: escaped, and cut so a huge cell cannot flood the terminal.
std::string Quoted(std::string_view cell) {
    constexpr size_t kShown = 64; // room for an endpoint (urn:uuid: and 36 characters)
    std::string shown = EscapeText(cell.substr(0, kShown));
    return "'" + shown + (cell.size() > kShown ? "...'" : "'");
}

struct Columns {
    size_t count = 0;
    std::optional<size_t> mac, newIp, protocol, endpoint, interface;
};

// The header's columns, or a problem with line 1.
std::optional<Columns> ReadHeader(const CsvRecord& header, std::vector<PlanProblem>& problems) {
    if (!header.error.empty()) {
        problems.push_back({header.line, "the header cannot be read: " + header.error});
        return std::nullopt;
    }
    Columns columns;
    columns.count = header.fields.size();
    bool ok = true;
    for (size_t i = 0; i < header.fields.size(); ++i) {
        std::string name = Lower(Cell(header.fields[i]));
        std::optional<size_t>* slot = name == "mac"        ? &columns.mac
                                      : name == "new_ip"   ? &columns.newIp
                                      : name == "protocol" ? &columns.protocol
                                      : name == "endpoint"  ? &columns.endpoint
                                      : name == "interface" ? &columns.interface
                                                            : nullptr;
        if (slot == nullptr)
            continue;
        if (*slot) {
            problems.push_back({header.line, "the header names the column " + name + " twice"});
            ok = false;
        }
        *slot = i;
    }
    for (auto [slot, name] : {std::pair{columns.mac, "mac"}, std::pair{columns.newIp, "new_ip"}})
        if (!slot) {
            problems.push_back({header.line, std::string("the header names no column ") + name +
                                                 " (a plan is find --format csv with a new_ip column)"});
            ok = false;
        }
    return ok ? std::optional(columns) : std::nullopt;
}

bool AllEmpty(const std::vector<std::string>& fields, size_t from) {
    for (size_t i = from; i < fields.size(); ++i)
        if (!Cell(fields[i]).empty())
            return false;
    return true;
}

} // namespace

Plan ReadPlan(std::string_view text) {
    Plan plan;
    // Spreadsheets often start a UTF-8 file with a byte order mark.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    CsvReader reader(text, GuessSeparator(text));
    std::optional<CsvRecord> header = reader.Next();
    if (!header) {
        plan.problems.push_back({1, "the plan is empty: its first line must name the columns, mac and new_ip "
                                    "among them"});
        return plan;
    }
    std::optional<Columns> columns = ReadHeader(*header, plan.problems);
    if (!columns)
        return plan;

    std::multimap<Mac, std::pair<std::string, int>> macLines; // the interface named, the line
    std::map<Ipv4, int> addressLines;
    while (std::optional<CsvRecord> record = reader.Next()) {
        auto problem = [&](const std::string& message) { plan.problems.push_back({record->line, message}); };
        if (!record->error.empty()) {
            problem(record->error);
            continue;
        }
        const std::vector<std::string>& fields = record->fields;
        if (fields.size() > columns->count && !AllEmpty(fields, columns->count)) {
            problem(std::to_string(fields.size()) + " cells, but the header names " +
                    std::to_string(columns->count) + " columns");
            continue;
        }
        auto cell = [&](size_t column) {
            return column < fields.size() ? Cell(fields[column]) : std::string_view();
        };
        std::string_view macCell = cell(*columns->mac);
        std::string_view ipCell = cell(*columns->newIp);
        if (macCell.empty() && ipCell.empty())
            continue;
        // A WS-Discovery device's row, exported by find --protocol all: nothing can be sent to it.
        std::string_view endpointCell = columns->endpoint ? cell(*columns->endpoint) : std::string_view();
        bool onvif = (columns->protocol && Lower(cell(*columns->protocol)) == "onvif") ||
                     (macCell.empty() && !endpointCell.empty());
        if (onvif) {
            if (!ipCell.empty())
                plan.problems.push_back(
                    {record->line,
                     OnvifChangeRefusal("device " +
                                        (endpointCell.empty() ? Quoted(macCell) : Quoted(endpointCell))),
                     true});
            continue;
        }

        std::optional<Mac> mac = ParseMacArgument(macCell);
        if (!mac) {
            problem("bad MAC " + Quoted(macCell) + " (six hex bytes separated by - or :)");
            continue;
        }
        PlanLine line{record->line, *mac, std::nullopt,
                      std::string(columns->interface ? cell(*columns->interface) : std::string_view())};
        bool ok = true;
        for (auto [known, end] = macLines.equal_range(*mac); known != end; ++known) {
            const std::string& other = known->second.first;
            if (other.empty() || line.interface.empty() || Lower(other) == Lower(line.interface)) {
                problem("MAC " + MacText(*mac) + " is already on line " +
                        std::to_string(known->second.second));
                ok = false;
                break;
            }
        }
        macLines.emplace(*mac, std::pair{line.interface, record->line});
        if (!ipCell.empty()) {
            std::optional<Ipv4> address = ParseIpv4(ipCell);
            std::string refusal = address ? RefusalOf(*address, nullptr) : "";
            if (!address) {
                problem("bad address " + Quoted(ipCell) + " (four numbers 0 to 255 joined by dots)");
                ok = false;
            } else if (!refusal.empty()) {
                problem(refusal);
                ok = false;
            } else if (auto [known, added] = addressLines.emplace(*address, record->line); !added) {
                problem(FormatIpv4(*address) + " is already given on line " + std::to_string(known->second));
                ok = false;
            }
            line.newIp = address;
        }
        if (ok)
            plan.lines.push_back(line);
    }
    return plan;
}

} // namespace quillctl
