#include "output/row_formats.h"

#include <algorithm>
#include <string>

#include <nlohmann/json.hpp>

#include "output/csv_text.h"

namespace quillctl {

const char* const kRowColumns[kRowColumnCount] = {
    "number",   "ip",       "mac",  "http_port",     "interface", "in_subnet",     "duplicate_ip", "source",
    "protocol", "endpoint", "name", "hardware",      "xaddr",     "duplicate_mac", "manufacturer", "model",
    "firmware", "serial",   "dhcp", "prefix_length", "gateway",   "auth"};

namespace {

using TableLine = std::vector<std::string>;
using TableWidths = std::vector<size_t>;

TableLine TableHeader(bool onvifColumns, bool detailColumns = false) {
    TableLine header = {"#",         "IP",        "MAC",           "HTTP",  "INTERFACE",
                        "IN SUBNET", "DUPLICATE", "MAC ELSEWHERE", "SOURCE"};
    if (onvifColumns)
        header.insert(header.end(), {"PROTOCOL", "NAME", "HARDWARE", "XADDR"});
    if (detailColumns)
        header.insert(header.end(),
                      {"MANUFACTURER", "MODEL", "FIRMWARE", "SERIAL", "DHCP", "PREFIX", "GATEWAY", "AUTH"});
    return header;
}

// Widths for streamed rows: the longest plain address, MAC and port; "ADDRESS (NAME)" for interfaces;
// the source with its note. Names are as long as they come and only padded to a usual length.
TableWidths StreamWidths(size_t longestInterfaceName, bool onvifColumns) {
    TableWidths widths = {4, 15, 17, 5, 15 + 3 + longestInterfaceName, 9, 9, 13};
    if (onvifColumns)
        widths.insert(widths.end(), {15 + 14, 8, 16, 16});
    widths.push_back(0);
    return widths;
}

const char* YesNo(bool value) { return value ? "yes" : "no"; }
const char* TrueFalse(bool value) { return value ? "true" : "false"; }
std::string OrDash(const std::string& text) { return text.empty() ? "-" : text; }

std::string PrefixText(const DeviceRow& row) {
    return row.prefixLength ? std::to_string(*row.prefixLength) : "";
}

TableLine TableCells(const DeviceRow& row, bool onvifColumns, bool detailColumns = false) {
    std::string interfaceCell = row.interfaceAddress;
    if (!row.interfaceName.empty())
        interfaceCell += " (" + row.interfaceName + ")";
    TableLine cells = {std::to_string(row.number),
                       OrDash(row.ip),
                       OrDash(row.mac),
                       row.httpPort ? std::to_string(*row.httpPort) : "-",
                       interfaceCell,
                       YesNo(row.inSubnet),
                       YesNo(row.duplicateIp),
                       YesNo(row.duplicateMac),
                       row.source + (row.sourceDiffers ? " (not its IP)" : "")};
    if (onvifColumns)
        cells.insert(cells.end(), {row.protocol, OrDash(row.name), OrDash(row.hardware), OrDash(row.xaddr)});
    if (detailColumns)
        cells.insert(cells.end(),
                     {OrDash(row.manufacturer), OrDash(row.model), OrDash(row.firmware), OrDash(row.serial),
                      OrDash(row.dhcp), OrDash(PrefixText(row)), OrDash(row.gateway), OrDash(row.auth)});
    return cells;
}

void WriteTableLine(std::ostream& out, const TableLine& cells, const TableWidths& widths) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += "  ";
        // Numbers are right-aligned, text left-aligned; the last column is not padded.
        bool right = i == 0 || i == 3;
        size_t pad = widths[i] > cells[i].size() && i + 1 < cells.size() ? widths[i] - cells[i].size() : 0;
        if (right)
            line += std::string(pad, ' ') + cells[i];
        else
            line += cells[i] + std::string(pad, ' ');
    }
    out << line << '\n';
}

void WriteSummary(std::ostream& out, const std::vector<DeviceRow>& rows) {
    if (rows.empty()) {
        out << "No device answered.\n";
        return;
    }
    size_t outside = 0, duplicates = 0, elsewhere = 0, differing = 0;
    for (const DeviceRow& row : rows) {
        outside += row.inSubnet ? 0 : 1;
        duplicates += row.duplicateIp ? 1 : 0;
        elsewhere += row.duplicateMac ? 1 : 0;
        differing += row.sourceDiffers ? 1 : 0;
    }
    out << rows.size() << (rows.size() == 1 ? " device" : " devices");
    if (outside)
        out << "; " << outside << " not in the subnet of the interface it answered on (unreachable)";
    if (duplicates)
        out << "; " << duplicates << " with an address held twice";
    if (elsewhere)
        out << "; " << elsewhere << " whose MAC answers on another interface too (one row each)";
    if (differing)
        out << "; " << differing << " answering from another address than its own";
    out << ".\n";
}

// Every cell through CsvField: any of them may come from the LAN (even a number's text is checked,
// so no cell can start a formula).
std::string CsvLine(const DeviceRow& row) {
    std::string line = CsvField(std::to_string(row.number));
    for (const std::string& cell : {row.ip,
                                    row.mac,
                                    row.httpPort ? std::to_string(*row.httpPort) : "",
                                    row.interfaceAddress,
                                    std::string(TrueFalse(row.inSubnet)),
                                    std::string(TrueFalse(row.duplicateIp)),
                                    row.source,
                                    row.protocol,
                                    row.endpoint,
                                    row.name,
                                    row.hardware,
                                    row.xaddr,
                                    std::string(TrueFalse(row.duplicateMac)),
                                    row.manufacturer,
                                    row.model,
                                    row.firmware,
                                    row.serial,
                                    row.dhcp,
                                    PrefixText(row),
                                    row.gateway,
                                    row.auth})
        line += "," + CsvField(cell);
    return line;
}

std::string CsvHeader() {
    std::string line;
    for (const char* column : kRowColumns)
        line += (line.empty() ? "" : ",") + std::string(column);
    return line;
}

// An empty text is JSON's null: the field says nothing about this device.
nlohmann::ordered_json TextOrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

nlohmann::ordered_json RowJson(const DeviceRow& row) {
    nlohmann::ordered_json object;
    object["number"] = row.number;
    object["ip"] = row.ip;
    object["mac"] = TextOrNull(row.mac);
    object["http_port"] =
        row.httpPort ? nlohmann::ordered_json(*row.httpPort) : nlohmann::ordered_json(nullptr);
    object["interface"] = row.interfaceAddress;
    object["in_subnet"] = row.inSubnet;
    object["duplicate_ip"] = row.duplicateIp;
    object["source"] = row.source;
    object["protocol"] = row.protocol;
    object["endpoint"] = TextOrNull(row.endpoint);
    object["name"] = TextOrNull(row.name);
    object["hardware"] = TextOrNull(row.hardware);
    object["xaddr"] = TextOrNull(row.xaddr);
    object["duplicate_mac"] = row.duplicateMac;
    object["manufacturer"] = TextOrNull(row.manufacturer);
    object["model"] = TextOrNull(row.model);
    object["firmware"] = TextOrNull(row.firmware);
    object["serial"] = TextOrNull(row.serial);
    object["dhcp"] =
        row.dhcp.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(row.dhcp == "true");
    object["prefix_length"] =
        row.prefixLength ? nlohmann::ordered_json(*row.prefixLength) : nlohmann::ordered_json(nullptr);
    object["gateway"] = TextOrNull(row.gateway);
    object["auth"] = TextOrNull(row.auth);
    return object;
}

// Interface names come from the platform; a name that is not valid UTF-8 must not stop the output.
std::string Dump(const nlohmann::ordered_json& value, int indent) {
    return value.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

} // namespace

std::optional<RowFormat> ParseRowFormat(std::string_view name) {
    if (name == "table")
        return RowFormat::Table;
    if (name == "csv")
        return RowFormat::Csv;
    if (name == "json")
        return RowFormat::Json;
    if (name == "jsonl")
        return RowFormat::Jsonl;
    return std::nullopt;
}

void WriteRows(std::ostream& out, RowFormat format, const std::vector<DeviceRow>& rows, bool onvifColumns,
               bool detailColumns) {
    switch (format) {
    case RowFormat::Table: {
        std::vector<TableLine> lines{TableHeader(onvifColumns, detailColumns)};
        TableWidths widths(lines.front().size());
        for (const DeviceRow& row : rows)
            lines.push_back(TableCells(row, onvifColumns, detailColumns));
        for (const TableLine& line : lines)
            for (size_t i = 0; i < widths.size(); ++i)
                widths[i] = std::max(widths[i], line[i].size());
        if (!rows.empty())
            for (const TableLine& line : lines)
                WriteTableLine(out, line, widths);
        WriteSummary(out, rows);
        break;
    }
    case RowFormat::Csv:
        out << CsvHeader() << '\n';
        for (const DeviceRow& row : rows)
            out << CsvLine(row) << '\n';
        break;
    case RowFormat::Json: {
        nlohmann::ordered_json array = nlohmann::ordered_json::array();
        for (const DeviceRow& row : rows)
            array.push_back(RowJson(row));
        out << Dump(array, 2) << '\n';
        break;
    }
    case RowFormat::Jsonl:
        for (const DeviceRow& row : rows)
            out << Dump(RowJson(row), -1) << '\n';
        break;
    }
}

void WriteStreamHeader(std::ostream& out, RowFormat format, size_t longestInterfaceName, bool onvifColumns) {
    if (format == RowFormat::Table)
        WriteTableLine(out, TableHeader(onvifColumns), StreamWidths(longestInterfaceName, onvifColumns));
    else if (format == RowFormat::Csv)
        out << CsvHeader() << '\n';
    out.flush();
}

void WriteStreamRow(std::ostream& out, RowFormat format, size_t longestInterfaceName, bool onvifColumns,
                    const DeviceRow& row) {
    switch (format) {
    case RowFormat::Table:
        WriteTableLine(out, TableCells(row, onvifColumns), StreamWidths(longestInterfaceName, onvifColumns));
        break;
    case RowFormat::Csv:
        out << CsvLine(row) << '\n';
        break;
    case RowFormat::Json:
    case RowFormat::Jsonl:
        out << Dump(RowJson(row), -1) << '\n';
        break;
    }
    out.flush();
}

} // namespace quillctl
