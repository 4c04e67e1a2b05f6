#include "plan/change_report.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <nlohmann/json.hpp>

#include "output/csv_text.h"
#include "output/seconds_text.h"
#include "net/text_escape.h"

namespace quillctl {

namespace {

template <size_t N>
void WriteAligned(std::ostream& out, const std::vector<std::array<std::string, N>>& lines) {
    std::array<size_t, N> widths{};
    for (const auto& line : lines)
        for (size_t i = 0; i < N; ++i)
            widths[i] = std::max(widths[i], line[i].size());
    for (const auto& line : lines) {
        std::string text;
        for (size_t i = 0; i < N; ++i) {
            if (i > 0)
                text += "  ";
            text += line[i];
            if (i + 1 < N)
                text += std::string(widths[i] - line[i].size(), ' ');
        }
        out << text << '\n';
    }
}

std::string Shown(const std::string& ipText) { return ipText.empty() ? "-" : EscapeText(ipText); }

// A camera without a known MAC is named by its endpoint: the column then names devices, not MACs.
std::string NameHeading(const std::vector<ChangeItem>& items) {
    bool endpoints = std::any_of(items.begin(), items.end(),
                                 [](const ChangeItem& item) { return item.camera && item.mac == Mac{}; });
    return endpoints ? "DEVICE" : "MAC";
}

// The report's mac field: empty for a camera whose MAC is not known.
std::string MacField(const ChangeItem& item) {
    return item.camera && item.mac == Mac{} ? "" : MacText(item.mac);
}

std::string EndpointField(const ChangeItem& item) {
    return item.camera ? EscapeText(item.camera->endpoint) : "";
}

} // namespace

std::optional<ReportFormat> ReportFormatFor(const std::string& path) {
    auto endsWith = [&](std::string_view suffix) {
        if (path.size() < suffix.size())
            return false;
        return std::equal(suffix.begin(), suffix.end(), path.end() - static_cast<long>(suffix.size()),
                          [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
    };
    if (endsWith(".csv"))
        return ReportFormat::Csv;
    if (endsWith(".json"))
        return ReportFormat::Json;
    return std::nullopt;
}

void WriteResultTable(std::ostream& out, const std::vector<ChangeItem>& items) {
    std::vector<std::array<std::string, 6>> lines{
        {NameHeading(items), "OLD IP", "NEW IP", "STATUS", "SECONDS", "DETAIL"}};
    for (const ChangeItem& item : items) {
        std::string status = StatusName(item.status);
        if (item.status == ChangeStatus::Other)
            status += " (took " + EscapeText(item.gotIp) + ")";
        lines.push_back({DeviceName(item), Shown(item.oldIp), item.newIp.empty() ? "-" : item.newIp, status,
                         item.sends == 0 ? "-" : SecondsText(item.seconds, 2), item.detail});
    }
    WriteAligned(out, lines);
}

void WriteReport(std::ostream& out, ReportFormat format, const std::vector<ChangeItem>& items) {
    if (format == ReportFormat::Csv) {
        out << "mac,old_ip,new_ip,status,seconds,detail,in_subnet,endpoint\n";
        for (const ChangeItem& item : items)
            out << CsvField(MacField(item)) << ',' << CsvField(EscapeText(item.oldIp)) << ','
                << CsvField(item.newIp) << ',' << CsvField(StatusName(item.status)) << ','
                << CsvField(SecondsText(item.seconds, 2)) << ',' << CsvField(EscapeText(item.detail)) << ','
                << (item.newIp.empty() ? ""
                    : item.inSubnet    ? "true"
                                       : "false")
                << ',' << CsvField(EndpointField(item)) << '\n';
        return;
    }
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const ChangeItem& item : items) {
        nlohmann::ordered_json object;
        object["mac"] = MacField(item);
        object["old_ip"] = EscapeText(item.oldIp);
        object["new_ip"] = item.newIp;
        object["status"] = StatusName(item.status);
        object["seconds"] = std::round(item.seconds * 100.0) / 100.0;
        object["detail"] = EscapeText(item.detail);
        object["in_subnet"] =
            item.newIp.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(item.inSubnet);
        object["endpoint"] = EndpointField(item);
        array.push_back(object);
    }
    out << array.dump(2) << '\n';
}

void WarnOutsideSubnet(std::ostream& err, const std::vector<ChangeItem>& items,
                       const std::vector<Link>& links) {
    for (const ChangeItem& item : items) {
        if (item.status != ChangeStatus::Waiting || item.inSubnet)
            continue;
        const Link& link = links.at(item.link);
        err << "quillctl: warning: " << item.newIp << " for " << DeviceName(item)
            << " lies outside the subnet " << FormatIpv4(link.subnet.Network()) << '/'
            << link.subnet.prefixLength << " of " << DescribeLink(link)
            << ": nothing on that card will reach the device there\n";
    }
}

void WriteDryRun(std::ostream& out, const std::vector<ChangeItem>& items) {
    std::vector<std::array<std::string, 3>> lines{{NameHeading(items), "OLD IP", "NEW IP"}};
    size_t changes = 0;
    for (const ChangeItem& item : items)
        if (item.status == ChangeStatus::Waiting) {
            lines.push_back({DeviceName(item), Shown(item.oldIp), item.newIp});
            ++changes;
        }
    WriteAligned(out, lines);
    out << changes << (changes == 1 ? " change" : " changes") << " would be sent (dry run: nothing sent).\n";
}

} // namespace quillctl
