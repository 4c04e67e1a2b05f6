#include "plan/plan_reader.h"

#include <algorithm>
#include <map>

#include "plan/address_rules.h"
#include "output/csv_text.h"
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
    std::optional<size_t> mac, newIp, protocol, endpoint, interface, prefixLength, gateway, user, password;
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
        std::optional<size_t>* slot = name == "mac"             ? &columns.mac
                                      : name == "new_ip"        ? &columns.newIp
                                      : name == "protocol"      ? &columns.protocol
                                      : name == "endpoint"      ? &columns.endpoint
                                      : name == "interface"     ? &columns.interface
                                      : name == "prefix_length" ? &columns.prefixLength
                                      : name == "gateway"       ? &columns.gateway
                                      : name == "user"          ? &columns.user
                                      : name == "password"      ? &columns.password
                                                                : nullptr;
        if (slot == nullptr)
            continue;
        if (*slot) {
            problems.push_back({header.line, "the header names the column " + name + " twice"});
            ok = false;
        }
        *slot = i;
    }
    // A plan is a file that gets copied, mailed and kept: no password belongs in it, empty or not.
    if (columns.password) {
        problems.push_back({header.line,
                            "the header names a password column, but a plan never holds passwords: give "
                            "them in a --credentials file, or in QUILLCTL_PASSWORD",
                            true});
        ok = false;
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

bool HasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

std::optional<int> ParsePrefixLength(std::string_view text) {
    if (text.empty() || text.size() > 2 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int value = std::stoi(std::string(text));
    if (value < kMinPrefixLength || value > kMaxPrefixLength)
        return std::nullopt;
    return value;
}

// The lines read so far, by who they change: a MAC, or a camera's endpoint (ASCII case ignored, as
// UUIDs are compared), each with the interface its line names.
class LinesOf {
  public:
    // The line that already names `who` where `interface` could be the same link, if any.
    std::optional<int> Add(const std::string& who, const std::string& interface, int line) {
        std::optional<int> earlier;
        for (auto [known, end] = lines_.equal_range(who); known != end && !earlier; ++known) {
            const std::string& other = known->second.first;
            if (other.empty() || interface.empty() || Lower(other) == Lower(interface))
                earlier = known->second.second;
        }
        lines_.emplace(who, std::pair{interface, line});
        return earlier;
    }

  private:
    std::multimap<std::string, std::pair<std::string, int>> lines_;
};

// The cells of one record that a change is read from; empty when the header has no such column.
struct LineCells {
    std::string_view mac, newIp, interface, endpoint, prefixLength, gateway, user;
    bool onvifProtocol = false;
};

class LineReader {
  public:
    explicit LineReader(Plan& plan) : plan_(plan) {}

    void Read(int number, const LineCells& cells) {
        number_ = number;
        ok_ = true;
        PlanLine line;
        line.line = number;
        line.interface = std::string(cells.interface);
        // find --protocol all writes a camera's MAC when its scopes or interface give one.
        line.camera = cells.onvifProtocol || (cells.mac.empty() && !cells.endpoint.empty());
        if (line.camera)
            ReadCamera(cells, line);
        else
            ReadOurs(cells, line);
        if (!ok_)
            return;
        ReadNewIp(cells.newIp, line);
        if (ok_)
            plan_.lines.push_back(std::move(line));
    }

  private:
    void Problem(const std::string& message, bool outright = false) {
        plan_.problems.push_back({number_, message, outright});
        ok_ = false;
    }

    std::optional<Mac> ReadMac(std::string_view cell) {
        std::optional<Mac> mac = ParseMacArgument(cell);
        if (!mac)
            Problem("bad MAC " + Quoted(cell) + " (six hex bytes separated by - or :)");
        return mac;
    }

    void ReadOurs(const LineCells& cells, PlanLine& line) {
        std::optional<Mac> mac = ReadMac(cells.mac);
        if (!mac)
            return;
        line.mac = *mac;
        for (auto [cell, name] : {std::pair{cells.prefixLength, "prefix_length"},
                                  std::pair{cells.gateway, "gateway"}, std::pair{cells.user, "user"}})
            if (!cell.empty()) {
                Problem(std::string("a ") + name + " for device " + MacText(*mac) +
                            ", but our devices' command carries only the address: leave its prefix_length, "
                            "gateway and user cells empty (they are for WS-Discovery cameras)",
                        true);
                return;
            }
        if (std::optional<int> earlier = lines_.Add(MacText(*mac), line.interface, number_))
            Problem("MAC " + MacText(*mac) + " is already on line " + std::to_string(*earlier));
    }

    void ReadCamera(const LineCells& cells, PlanLine& line) {
        if (cells.endpoint.empty()) {
            if (!cells.newIp.empty())
                Problem("a WS-Discovery camera's line needs the camera's endpoint in the endpoint column "
                        "(as find --protocol all writes it)");
            else
                ok_ = false; // nothing asked of a camera it could not name
            return;
        }
        line.endpoint = std::string(cells.endpoint);
        if (!cells.mac.empty()) {
            std::optional<Mac> mac = ReadMac(cells.mac);
            if (!mac)
                return;
            line.mac = *mac;
        }
        if (!cells.prefixLength.empty()) {
            line.prefixLength = ParsePrefixLength(cells.prefixLength);
            if (!line.prefixLength)
                return Problem("bad prefix length " + Quoted(cells.prefixLength) + " (a number from " +
                               std::to_string(kMinPrefixLength) + " to " + std::to_string(kMaxPrefixLength) +
                               ")");
        }
        if (!cells.gateway.empty()) {
            line.gateway = ParseIpv4(cells.gateway);
            if (!line.gateway)
                return Problem("bad gateway " + Quoted(cells.gateway) +
                               " (four numbers 0 to 255 joined by dots)");
            if (std::string refusal = RefusalOf(*line.gateway, nullptr); !refusal.empty())
                return Problem("bad gateway: " + refusal);
        }
        if (HasControlCharacter(cells.user))
            return Problem("bad user " + Quoted(cells.user) + ": it holds control characters");
        line.user = std::string(cells.user);
        if (std::optional<int> earlier =
                lines_.Add("endpoint " + Lower(line.endpoint), line.interface, number_))
            Problem("endpoint " + Quoted(line.endpoint) + " is already on line " + std::to_string(*earlier));
    }

    void ReadNewIp(std::string_view cell, PlanLine& line) {
        if (cell.empty())
            return;
        std::optional<Ipv4> address = ParseIpv4(cell);
        std::string refusal = address ? RefusalOf(*address, nullptr) : "";
        if (!address)
            Problem("bad address " + Quoted(cell) + " (four numbers 0 to 255 joined by dots)");
        else if (!refusal.empty())
            Problem(refusal);
        else if (auto [known, added] = addressLines_.emplace(*address, number_); !added)
            Problem(FormatIpv4(*address) + " is already given on line " + std::to_string(known->second));
        line.newIp = address;
    }

    Plan& plan_;
    LinesOf lines_;
    std::map<Ipv4, int> addressLines_;
    int number_ = 0;
    bool ok_ = true;
};

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

    LineReader lines(plan);
    while (std::optional<CsvRecord> record = reader.Next()) {
        if (!record->error.empty()) {
            plan.problems.push_back({record->line, record->error});
            continue;
        }
        const std::vector<std::string>& fields = record->fields;
        if (fields.size() > columns->count && !AllEmpty(fields, columns->count)) {
            plan.problems.push_back({record->line, std::to_string(fields.size()) +
                                                       " cells, but the header names " +
                                                       std::to_string(columns->count) + " columns"});
            continue;
        }
        auto cell = [&](const std::optional<size_t>& column) {
            return column && *column < fields.size() ? Cell(fields[*column]) : std::string_view();
        };
        LineCells cells{cell(columns->mac),          cell(columns->newIp),
                        cell(columns->interface),    cell(columns->endpoint),
                        cell(columns->prefixLength), cell(columns->gateway),
                        cell(columns->user),         Lower(cell(columns->protocol)) == "onvif"};
        if (cells.mac.empty() && cells.newIp.empty() && cells.endpoint.empty())
            continue;
        lines.Read(record->line, cells);
    }
    return plan;
}

} // namespace quillctl
