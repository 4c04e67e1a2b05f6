// find's four formats and apply's report: the names scripts rely on, and text that stays readable.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "plan/change_report.h"
#include "command_run.h"
#include "output/csv_text.h"
#include "net/exit_status.h"
#include "output/output_sink.h"
#include "plan/progress_line.h"
#include "output/row_formats.h"
#include "net/text_escape.h"

namespace quillctl {
namespace {

DeviceRow Row(int number, std::string ip, std::string mac, std::optional<int32_t> port,
              std::string interfaceAddress, std::string interfaceName, bool inSubnet, bool duplicate,
              std::string source) {
    DeviceRow row;
    row.number = number;
    row.ip = std::move(ip);
    row.mac = std::move(mac);
    row.httpPort = port;
    row.interfaceAddress = std::move(interfaceAddress);
    row.interfaceName = std::move(interfaceName);
    row.inSubnet = inSubnet;
    row.duplicateIp = duplicate;
    row.source = std::move(source);
    row.sourceDiffers = row.source != row.ip;
    return row;
}

// Two of ours (one with an address text that needs quoting) and a camera of another make.
std::vector<DeviceRow> Rows() {
    DeviceRow third = Row(3, "198.51.100.30", "", 8080, "198.51.100.1", "lan0", true, true, "198.51.100.30");
    third.protocol = "onvif";
    third.endpoint = "urn:uuid:5a1b0000-0000-4000-8000-000000000001";
    third.name = "Lobby, east";
    third.hardware = "QS-100";
    third.xaddr = "http://198.51.100.30:8080/onvif/device_service";
    third.manufacturer = "=HYPERLINK(1)";
    third.model = "QS-100";
    third.firmware = "1.2, beta";
    third.serial = "-7";
    third.dhcp = "false";
    third.prefixLength = 24;
    third.gateway = "198.51.100.254";
    third.auth = "ok";
    DeviceRow second = Row(2, "192.168.0,1\"x", "00-1a-2b-3c-4d-01", std::nullopt, "203.0.113.1", "lan1",
                           false, true, "203.0.113.77");
    second.duplicateMac = true;
    return {Row(1, "198.51.100.30", "00-1a-2b-3c-4d-00", 80, "198.51.100.1", "lan0", true, false,
                "198.51.100.30"),
            second, third};
}

std::string Written(RowFormat format, bool onvifColumns = false) {
    std::ostringstream out;
    WriteRows(out, format, Rows(), onvifColumns);
    return out.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(RowFormats, CsvHasTheFixedHeaderAndQuotesWhatNeedsIt) {
    std::vector<std::string> lines = Lines(Written(RowFormat::Csv));
    ASSERT_EQ(lines.size(), 4u);
    // The fields of WS-Discovery devices come after the first eight, which stay as scripts know them.
    EXPECT_EQ(lines[0], "number,ip,mac,http_port,interface,in_subnet,duplicate_ip,source,"
                        "protocol,endpoint,name,hardware,xaddr,duplicate_mac,manufacturer,model,firmware,"
                        "serial,dhcp,prefix_length,gateway,auth");
    EXPECT_EQ(lines[1],
              "1,198.51.100.30,00-1a-2b-3c-4d-00,80,198.51.100.1,true,false,198.51.100.30,quill,,,,,"
              "false,,,,,,,,");
    EXPECT_EQ(lines[2], "2,\"192.168.0,1\"\"x\",00-1a-2b-3c-4d-01,,203.0.113.1,false,true,203.0.113.77,quill,"
                        ",,,,true,,,,,,,,");
    // What a camera's device service says is protected as every other cell: no formula reaches a
    // spreadsheet from its maker's name either.
    EXPECT_EQ(lines[3], "3,198.51.100.30,,8080,198.51.100.1,true,true,198.51.100.30,onvif,"
                        "urn:uuid:5a1b0000-0000-4000-8000-000000000001,\"Lobby, east\",QS-100,"
                        "http://198.51.100.30:8080/onvif/device_service,false,'=HYPERLINK(1),QS-100,"
                        "\"1.2, beta\",'-7,false,24,198.51.100.254,ok");
}

TEST(RowFormats, JsonArrayAndJsonLinesCarryTheSameTypedFields) {
    nlohmann::json array = nlohmann::json::parse(Written(RowFormat::Json));
    ASSERT_TRUE(array.is_array());
    ASSERT_EQ(array.size(), 3u);
    std::vector<std::string> lines = Lines(Written(RowFormat::Jsonl));
    ASSERT_EQ(lines.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(nlohmann::json::parse(lines[i]), array[i]);
    const nlohmann::json& first = array[0];
    EXPECT_EQ(first["number"], 1);
    EXPECT_EQ(first["ip"], "198.51.100.30");
    EXPECT_EQ(first["mac"], "00-1a-2b-3c-4d-00");
    EXPECT_EQ(first["http_port"], 80);
    EXPECT_EQ(first["interface"], "198.51.100.1");
    EXPECT_EQ(first["in_subnet"], true);
    EXPECT_EQ(first["duplicate_ip"], false);
    EXPECT_EQ(first["source"], "198.51.100.30");
    EXPECT_TRUE(array[1]["http_port"].is_null());
    EXPECT_EQ(array[1]["duplicate_ip"], true);
    EXPECT_EQ(first["duplicate_mac"], false);
    EXPECT_EQ(array[1]["duplicate_mac"], true);
    EXPECT_EQ(first["protocol"], "quill");
    for (const char* absent : {"endpoint", "name", "hardware", "xaddr"})
        EXPECT_TRUE(first[absent].is_null()) << absent;
    const nlohmann::json& camera = array[2];
    EXPECT_TRUE(camera["mac"].is_null());
    EXPECT_EQ(camera["protocol"], "onvif");
    EXPECT_EQ(camera["endpoint"], "urn:uuid:5a1b0000-0000-4000-8000-000000000001");
    EXPECT_EQ(camera["name"], "Lobby, east");
    EXPECT_EQ(camera["xaddr"], "http://198.51.100.30:8080/onvif/device_service");
    EXPECT_EQ(camera["dhcp"], false); // typed, as in_subnet is
    EXPECT_EQ(camera["prefix_length"], 24);
    EXPECT_TRUE(first["dhcp"].is_null());
    std::vector<std::string> keys;
    const nlohmann::ordered_json ordered = nlohmann::ordered_json::parse(lines[0]);
    for (const auto& item : ordered.items())
        keys.push_back(item.key());
    EXPECT_EQ(std::vector<std::string>(kRowColumns, kRowColumns + kRowColumnCount), keys);
}

TEST(RowFormats, TableIsAlignedAndMarksWhatNeedsALook) {
    std::vector<std::string> lines = Lines(Written(RowFormat::Table));
    ASSERT_EQ(lines.size(), 5u);
    size_t macColumn = lines[0].find("MAC");
    EXPECT_EQ(lines[1].find("00-1a"), macColumn);
    EXPECT_EQ(lines[2].find("00-1a"), macColumn);
    EXPECT_EQ(lines[0].find("PROTOCOL"), std::string::npos);
    EXPECT_NE(lines[2].find("203.0.113.77 (not its IP)"), std::string::npos);
    EXPECT_NE(lines[1].find("198.51.100.1 (lan0)"), std::string::npos);
    EXPECT_NE(lines[4].find("3 devices"), std::string::npos);
    EXPECT_NE(lines[4].find("1 not in the subnet"), std::string::npos);
    EXPECT_NE(lines[4].find("2 with an address held twice"), std::string::npos);
    EXPECT_NE(lines[4].find("1 whose MAC answers on another interface too"), std::string::npos);
    EXPECT_EQ(lines[2].find("yes", lines[0].find("MAC ELSEWHERE")), lines[0].find("MAC ELSEWHERE"));

    // With WS-Discovery searched, the camera's protocol, name and XAddr are columns of their own.
    lines = Lines(Written(RowFormat::Table, true));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3].find("onvif"), lines[0].find("PROTOCOL"));
    EXPECT_EQ(lines[3].find("Lobby, east"), lines[0].find("NAME"));
    EXPECT_EQ(lines[3].find("http://198.51.100.30:8080/"), lines[0].find("XADDR"));
    EXPECT_EQ(lines[1].find("quill"), lines[0].find("PROTOCOL"));

    std::ostringstream none;
    WriteRows(none, RowFormat::Table, {});
    EXPECT_EQ(none.str(), "No device answered.\n");
}

TEST(RowFormats, StreamedRowsUseTheSameFields) {
    std::ostringstream out;
    WriteStreamHeader(out, RowFormat::Csv, 4, false);
    WriteStreamRow(out, RowFormat::Csv, 4, false, Rows()[0]);
    EXPECT_EQ(out.str(), Lines(Written(RowFormat::Csv))[0] + "\n" + Lines(Written(RowFormat::Csv))[1] + "\n");

    std::ostringstream table;
    WriteStreamHeader(table, RowFormat::Table, 4, true);
    for (const DeviceRow& row : Rows())
        WriteStreamRow(table, RowFormat::Table, 4, true, row);
    std::vector<std::string> lines = Lines(table.str());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3].find("onvif"), lines[0].find("PROTOCOL"));
    // The columns after the interface stay in line with the header.
    EXPECT_EQ(lines[1].find("yes"), lines[0].find("IN SUBNET"));
    EXPECT_EQ(lines[1].rfind("198.51.100.30"), lines[0].find("SOURCE"));
    EXPECT_EQ(lines[2].find("203.0.113.77"), lines[0].find("SOURCE"));
}

TEST(ChangeReport, CsvAndJsonByExtension) {
    EXPECT_EQ(ReportFormatFor("out.CSV"), ReportFormat::Csv);
    EXPECT_EQ(ReportFormatFor("dir.json/out.json"), ReportFormat::Json);
    EXPECT_EQ(ReportFormatFor("out.txt"), std::nullopt);
    EXPECT_EQ(ReportFormatFor("json"), std::nullopt);

    std::vector<ChangeItem> items(2);
    items[0] = ChangeItem{Mac{0, 0x1a, 0x2b, 0x3c, 0x4d, 0},
                          0,
                          "192.168.0.10",
                          "198.51.100.40",
                          ChangeStatus::Confirmed,
                          "198.51.100.40",
                          0.954,
                          "",
                          true,
                          1,
                          {}};
    items[1] = ChangeItem{Mac{0, 0x1a, 0x2b, 0x3c, 0x4d, 1},
                          0,
                          "192.168.0.10",
                          "198.51.100.41",
                          ChangeStatus::Other,
                          "198.51.100.99",
                          1.2,
                          "unsent: a, b",
                          false,
                          1,
                          {}};
    std::ostringstream csv;
    WriteReport(csv, ReportFormat::Csv, items);
    EXPECT_EQ(csv.str(), "mac,old_ip,new_ip,status,seconds,detail,in_subnet,endpoint\n"
                         "00-1a-2b-3c-4d-00,192.168.0.10,198.51.100.40,confirmed,0.95,,true,\n"
                         "00-1a-2b-3c-4d-01,192.168.0.10,198.51.100.41,other,1.20,\"unsent: a, b\",false,\n");
    std::ostringstream json;
    WriteReport(json, ReportFormat::Json, items);
    nlohmann::json parsed = nlohmann::json::parse(json.str());
    EXPECT_EQ(parsed[0]["status"], "confirmed");
    EXPECT_DOUBLE_EQ(parsed[0]["seconds"].get<double>(), 0.95);
    EXPECT_EQ(parsed[1]["new_ip"], "198.51.100.41");
    EXPECT_EQ(parsed[1]["detail"], "unsent: a, b");
    EXPECT_EQ(parsed[1]["in_subnet"], false);

    std::ostringstream table;
    WriteResultTable(table, items);
    EXPECT_NE(table.str().find("other (took 198.51.100.99)"), std::string::npos);
}

TEST(ProgressLine, OnlyOnATerminalAndClearedAfterwards) {
    std::ostringstream piped;
    {
        ProgressLine line(piped, false);
        line.Show(ChangeCounts{1, 2, 0}, 0.9);
    }
    EXPECT_EQ(piped.str(), "");

    std::ostringstream terminal;
    ProgressLine line(terminal, true);
    line.Show(ChangeCounts{10, 20, 0}, 0.9);
    line.Show(ChangeCounts{30, 0, 0}, 1.0); // shorter: the rest of the longer line is blanked
    EXPECT_EQ(terminal.str(),
              "\rconfirmed 10, waiting 20, failed 0, 0.9 s\rconfirmed 30, waiting 0, failed 0, 1.0 s ");
    line.Clear();
    EXPECT_EQ(terminal.str().substr(terminal.str().rfind('\r', terminal.str().size() - 2)),
              "\r" + std::string(40, ' ') + "\r");
}

TEST(CsvText, QuotesOnlyWhenNeeded) {
    EXPECT_EQ(CsvField("198.51.100.1"), "198.51.100.1");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("a;b"), "\"a;b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
}

TEST(CsvText, CellsASpreadsheetWouldRunAreTextAndReadBackAsWritten) {
    EXPECT_EQ(CsvField("=HYPERLINK(\"x\")"), "\"'=HYPERLINK(\"\"x\"\")\"");
    for (const char* text : {"=1+1", "+1", "-1", "@SUM(A1)", "\tx", "\r=1", "'=1", "'", "a'", "", "1,=2"}) {
        std::string cell = CsvField(text);
        EXPECT_EQ(std::string("=+-@\t\r").find(cell[cell[0] == '"' ? 1 : 0]), std::string::npos) << text;
        std::optional<CsvRecord> record = CsvReader(cell + "\n", ',').Next();
        ASSERT_TRUE(record && record->fields.size() == 1) << text;
        EXPECT_EQ(CsvCellText(record->fields[0]), text);
    }
    DeviceRow hostile = Rows()[2];
    hostile.name = "=cmd|'/c calc'!A0";
    hostile.hardware = "-2+3";
    std::ostringstream out;
    WriteRows(out, RowFormat::Csv, {hostile});
    EXPECT_NE(Lines(out.str())[1].find(",'=cmd|'/c calc'!A0,'-2+3,"), std::string::npos) << out.str();
}

TEST(TextEscape, NamesKeepValidUtf8ButNoControlsAndAddressesStayAscii) {
    EXPECT_EQ(EscapeName("Caf\xc3\xa9 \xe6\x9d\xb1"), "Caf\xc3\xa9 \xe6\x9d\xb1");
    EXPECT_EQ(EscapeName("a\x1b[2Jb"), "a\\x1b[2Jb");
    EXPECT_EQ(EscapeName("\xc2\x9b"
                         "31m"),
              "\\xc2\\x9b31m")
        << "C1 CSI";
    EXPECT_EQ(EscapeName("\xe2\x80\xae"), "\\xe2\\x80\\xae") << "right-to-left override";
    EXPECT_EQ(EscapeName("\xc3(\xed\xa0\x80\xc0\xaf"), "\\xc3(\\xed\\xa0\\x80\\xc0\\xaf")
        << "cut, surrogate, overlong";
    EXPECT_EQ(EscapeText("\xc3\xa9"), "\\xc3\\xa9");
    // JSON carries the name as UTF-8, readable by scripts.
    DeviceRow camera = Rows()[2];
    camera.name = EscapeName("Entr\xc3\xa9"
                             "e");
    std::ostringstream json;
    WriteRows(json, RowFormat::Jsonl, {camera});
    EXPECT_EQ(nlohmann::json::parse(json.str())["name"], "Entr\xc3\xa9"
                                                         "e");
}

// A sink whose reader leaves after `accepted` bytes.
struct ClosingPipe {
    explicit ClosingPipe(size_t bytes, bool readerGone = true) : accepted(bytes), gone(readerGone) {}
    size_t accepted;
    std::string got;
    OutputSink sink{[this](std::string_view bytes) -> std::optional<WriteFailure> {
        got += bytes.substr(0, accepted - std::min(accepted, got.size()));
        if (got.size() >= accepted)
            return WriteFailure{gone, "Broken pipe"};
        return std::nullopt;
    }};
    bool gone;
};

TEST(OutputFailure, AGoneReaderEndsWatchQuietlyAndAnyOtherFailureIsNamed) {
    testing::FakeHost host(testing::OneLanHost());
    host.devices = {testing::Device(1, "198.51.100.30"), testing::Device(2, "198.51.100.31")};
    host.devices[1].delay = std::chrono::milliseconds(1500);
    host.interruptAt = std::chrono::hours(1);
    ClosingPipe pipe(10);
    host.output = &pipe.sink;
    std::ostream out(&pipe.sink);
    std::ostringstream err;
    EXPECT_EQ(RunCommandLine({"find", "--watch", "--format", "jsonl"}, host, out, err), kExitFailure);
    EXPECT_EQ(err.str(), "");
    EXPECT_LT(host.lan->Elapsed(), std::chrono::seconds(2)) << "the search stops at the first lost row";

    ClosingPipe full(0, false);
    host.output = &full.sink;
    std::ostream fullOut(&full.sink);
    std::ostringstream fullErr;
    EXPECT_EQ(RunCommandLine({"find", "--format", "csv", "--timeout", "0.5"}, host, fullOut, fullErr),
              kExitFailure);
    EXPECT_EQ(fullErr.str(), "quillctl: cannot write the output: Broken pipe\n");
}

} // namespace
} // namespace quillctl
