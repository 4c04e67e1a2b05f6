// Reading a plan as a spreadsheet or an editor leaves it, and checking it against the devices found.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "plan/address_allocation.h"
#include "plan/change_report.h"
#include "plan/plan_check.h"
#include "plan/plan_order.h"
#include "plan/plan_reader.h"
#include "output/row_formats.h"
#include "output/text_files.h"

namespace quillctl {
namespace {

Ipv4 Ip(const char* text) { return *ParseIpv4(text); }
Mac MacOf(uint8_t last) { return Mac{0, 0x1a, 0x2b, 0x3c, 0x4d, last}; }

const char* const kHeader = "number,ip,mac,http_port,interface,in_subnet,duplicate_ip,source,new_ip\n";

void Hear(DeviceList& devices, uint8_t last, const char* ip, size_t link = 0) {
    quillmast::DeviceReply reply;
    std::strcpy(reply.ip, ip);
    reply.hasMac = true;
    Mac mac = MacOf(last);
    std::memcpy(reply.mac, mac.data(), 6);
    devices.Apply(reply, link, Ip(ip));
}

void HearCamera(DeviceList& devices, const char* endpoint, const char* ip, size_t link = 0,
                std::optional<Mac> mac = std::nullopt) {
    OnvifDevice camera;
    camera.endpoint = endpoint;
    camera.mac = mac;
    camera.xaddr = HttpXAddr{std::string("http://") + ip + "/onvif/device_service", Ip(ip), 80};
    camera.link = link;
    camera.source = Ip(ip);
    devices.ApplyOnvif(camera);
}

std::vector<int> ProblemLines(const Plan& plan) {
    std::vector<int> lines;
    for (const PlanProblem& problem : plan.problems)
        lines.push_back(problem.line);
    return lines;
}

TEST(PlanReader, FindsItsColumnsByNameAndReadsTheLines) {
    Plan plan =
        ReadPlan(std::string(kHeader) +
                 "1,192.168.0.10,00-1a-2b-3c-4d-01,80,198.51.100.1,false,true,192.168.0.10,198.51.100.40\n"
                 "2,192.168.0.10,00:1A:2B:3C:4D:02,80,198.51.100.1,false,true,192.168.0.10,\n"
                 "\n"
                 "3,x,00-1a-2b-3c-4d-03,,,,,, 198.51.100.41 \n");
    EXPECT_TRUE(plan.problems.empty());
    ASSERT_EQ(plan.lines.size(), 3u);
    EXPECT_EQ(plan.lines[0].line, 2);
    EXPECT_EQ(plan.lines[0].mac, MacOf(1));
    EXPECT_EQ(plan.lines[0].newIp, Ip("198.51.100.40"));
    EXPECT_EQ(plan.lines[1].newIp, std::nullopt) << "an empty new_ip asks no change";
    EXPECT_EQ(plan.lines[2].line, 5) << "the blank line still counts";
    EXPECT_EQ(plan.lines[2].newIp, Ip("198.51.100.41"));
}

TEST(PlanReader, TakesWhatSpreadsheetsWrite) {
    // A byte order mark, semicolons, CRLF, columns in another order and case, quoted cells.
    Plan plan = ReadPlan("\xEF\xBB\xBFNew_IP ; MAC\r\n\"198.51.100.40\";\"00-1a-2b-3c-4d-01\"\r\n"
                         "198.51.100.41;00-1a-2b-3c-4d-02;;\r\n");
    EXPECT_TRUE(plan.problems.empty()) << plan.problems[0].message;
    ASSERT_EQ(plan.lines.size(), 2u);
    EXPECT_EQ(plan.lines[1].mac, MacOf(2));
    EXPECT_EQ(plan.lines[1].line, 3);
}

TEST(PlanReader, NamesEveryBadLineByItsOwnNumber) {
    Plan plan = ReadPlan("mac,new_ip,note\n"
                         "00-1a-2b-3c-4d-01,198.51.100.40,ok\n"      // 2
                         "00-1a-2b-3c-4d-0g,198.51.100.41,bad mac\n" // 3
                         "00-1a-2b-3c-4d-02,198.51.100.300,\n"       // 4
                         "00-1a-2b-3c-4d-03,127.0.0.9,\n"            // 5
                         "00-1a-2b-3c-4d-01,198.51.100.42,\n"        // 6: MAC again
                         "00-1a-2b-3c-4d-04,198.51.100.40,\n"        // 7: address again
                         "00-1a-2b-3c-4d-05,198.51.100.43,a,b\n"     // 8: a cell too many
                         "00-1a-2b-3c-4d-06,198.51.100.44,\"two\n"   // 9: a quoted note over two lines
                         "lines\"\n"
                         ",198.51.100.45,\n" // 11: no MAC
                         "00-1a-2b-3c-4d-07,198.51.100.46,\"never closed\n");
    EXPECT_EQ(ProblemLines(plan), (std::vector<int>{3, 4, 5, 6, 7, 8, 11, 12}));
    ASSERT_EQ(plan.lines.size(), 2u);
    EXPECT_EQ(plan.lines[0].line, 2);
    EXPECT_EQ(plan.lines[1].line, 9);
    EXPECT_NE(plan.problems[2].message.find("loopback"), std::string::npos);
    EXPECT_NE(plan.problems[3].message.find("already on line 2"), std::string::npos);
    EXPECT_NE(plan.problems[4].message.find("already given on line 2"), std::string::npos);
}

TEST(PlanReader, AHeaderWithoutItsColumnsIsRefused) {
    EXPECT_EQ(ProblemLines(ReadPlan("")), std::vector<int>{1});
    EXPECT_EQ(ProblemLines(ReadPlan("mac,ip\n00-1a-2b-3c-4d-01,198.51.100.40\n")), std::vector<int>{1});
    EXPECT_EQ(ProblemLines(ReadPlan("mac,new_ip,MAC\n")), std::vector<int>{1});
    EXPECT_TRUE(ReadPlan("mac,new_ip\n").problems.empty()) << "a plan with no lines is a plan";
}

TEST(PlanReader, ReadsFindsProtectedCellsBack) {
    // A camera's hostile endpoint is written with a ' before it; it reads back as it was sent.
    DeviceRow camera;
    camera.protocol = "onvif";
    camera.endpoint = "-urn";
    std::ostringstream csv;
    WriteRows(csv, RowFormat::Csv, {camera});
    std::string text = csv.str();
    text.insert(text.find('\n'), ",new_ip");
    text.insert(text.size() - 1, ",198.51.100.40");
    Plan plan = ReadPlan(text);
    ASSERT_EQ(plan.lines.size(), 1u);
    EXPECT_EQ(plan.lines[0].endpoint, "-urn");
    // A spreadsheet's text marker before a MAC or an address is taken off too.
    EXPECT_TRUE(ReadPlan("mac,new_ip\n'00-1a-2b-3c-4d-01,'198.51.100.40\n").problems.empty());
}

TEST(PlanReader, TakesUtf16WithAByteOrderMark) {
    const std::string plan = "mac,new_ip\r\n00-1a-2b-3c-4d-01,198.51.100.40\r\n";
    std::string little = "\xFF\xFE", big = "\xFE\xFF";
    for (char c : plan) {
        little += {c, '\0'};
        big += {'\0', c};
    }
    std::string error;
    EXPECT_EQ(TextAsUtf8(little, error), plan);
    EXPECT_EQ(TextAsUtf8(big, error), plan);
    EXPECT_EQ(TextAsUtf8(std::string("\xFF\xFE\x3d\xd8\x00\xde", 6), error), std::string("\xF0\x9F\x98\x80"))
        << "a surrogate pair";
    EXPECT_EQ(TextAsUtf8("\xFF\xFEm", error), std::nullopt);
    EXPECT_EQ(TextAsUtf8(std::string("\xFF\xFE\x00\xdc", 4), error), std::nullopt);
    EXPECT_EQ(TextAsUtf8(plan, error), plan) << "UTF-8 is taken as it is";
}

TEST(PlanReader, EscapesWhatItQuotes) {
    Plan plan = ReadPlan("mac,new_ip\n\x1b]0;owned\x07,1.2.3.4\n");
    ASSERT_EQ(plan.problems.size(), 1u);
    EXPECT_EQ(plan.problems[0].message.find('\x1b'), std::string::npos);
}

// find --protocol all --details exported, edited and read back: the cameras' rows are camera lines,
// with the MAC, prefix length and gateway their interface gave.
TEST(PlanReader, ReadsTheCamerasOfAnEditedFindExport) {
    DeviceList devices;
    Hear(devices, 1, "198.51.100.30");
    HearCamera(devices, "urn:uuid:a", "198.51.100.131");
    HearCamera(devices, "urn:uuid:b", "198.51.100.132");
    std::vector<DeviceRow> rows =
        BuildRows(devices, {Link{"lan0", 2, Subnet{Ip("198.51.100.1"), 24}}}, {Ip("198.51.100.1")});
    rows[1].mac = MacText(MacOf(7));
    rows[1].prefixLength = 24;
    rows[1].gateway = "198.51.100.254";
    std::ostringstream csv;
    WriteRows(csv, RowFormat::Csv, rows);
    std::istringstream in(csv.str());
    std::string text, row;
    for (const char* added : {",new_ip,user", ",198.51.100.40,", ",198.51.100.41,admin", ",,"}) {
        std::getline(in, row);
        text += row + added + "\n";
    }
    Plan plan = ReadPlan(text);
    ASSERT_TRUE(plan.problems.empty()) << plan.problems[0].message;
    ASSERT_EQ(plan.lines.size(), 3u);
    EXPECT_FALSE(plan.lines[0].camera);
    const PlanLine& camera = plan.lines[1];
    EXPECT_TRUE(camera.camera);
    EXPECT_EQ(camera.endpoint, "urn:uuid:a");
    EXPECT_EQ(camera.mac, MacOf(7));
    EXPECT_EQ(camera.newIp, Ip("198.51.100.41"));
    EXPECT_EQ(camera.prefixLength, 24);
    EXPECT_EQ(camera.gateway, Ip("198.51.100.254"));
    EXPECT_EQ(camera.user, "admin");
    EXPECT_TRUE(plan.lines[2].camera && plan.lines[2].mac == Mac{}) << "endpoint and no MAC";
    EXPECT_EQ(plan.lines[2].newIp, std::nullopt);
}

TEST(PlanReader, RefusesPasswordsAndWhatALineCannotAsk) {
    Plan secret = ReadPlan("mac,new_ip,endpoint,Password\n,198.51.100.40,urn:uuid:a,\n");
    ASSERT_EQ(ProblemLines(secret), std::vector<int>{1});
    EXPECT_TRUE(secret.problems[0].refusedOutright) << "refused before anything is sent";
    EXPECT_NE(secret.problems[0].message.find("QUILLCTL_PASSWORD"), std::string::npos);

    Plan plan = ReadPlan("mac,new_ip,protocol,endpoint,prefix_length,gateway,user\n"
                         "00-1a-2b-3c-4d-01,198.51.100.40,quill,,,,admin\n"  // 2: a user for ours
                         ",198.51.100.41,onvif,,,,\n"                        // 3: no endpoint
                         ",198.51.100.42,onvif,urn:uuid:a,16,198.51.0.1,\n"  // 4
                         ",198.51.100.43,onvif,URN:UUID:A,,,\n"              // 5: the endpoint again
                         ",198.51.100.44,,urn:uuid:b,31,,\n"                 // 6: too few host bits
                         ",198.51.100.45,,urn:uuid:c,,198.51.100.256,\n"     // 7
                         ",198.51.100.46,,urn:uuid:d,,127.0.0.1,\n"          // 8
                         ",198.51.100.47,,urn:uuid:e,,,\"ad\x1b[2Jmin\"\n"); // 9
    EXPECT_EQ(ProblemLines(plan), (std::vector<int>{2, 3, 5, 6, 7, 8, 9}));
    EXPECT_TRUE(plan.problems[0].refusedOutright) << "our command carries only the address";
    EXPECT_FALSE(plan.problems[1].refusedOutright);
    EXPECT_NE(plan.problems[2].message.find("already on line 4"), std::string::npos);
    ASSERT_EQ(plan.lines.size(), 1u);
    EXPECT_EQ(plan.lines[0].prefixLength, 16);
}

// Found: 01 at .30 (in the plan), 02 at .31 (not in the plan), 03 at .32 (in the plan, no change asked).
struct CheckFixture : ::testing::Test {
    CheckFixture() {
        for (auto [last, ip] : {std::pair<uint8_t, const char*>{1, "198.51.100.30"},
                                {2, "198.51.100.31"},
                                {3, "198.51.100.32"},
                                {4, "192.168.0.10"}})
            Hear(devices, last, ip);
    }
    CheckedPlan Check(const std::string& lines) {
        Plan plan = ReadPlan("mac,new_ip\n" + lines);
        EXPECT_TRUE(plan.problems.empty());
        return CheckPlan(plan.lines, NetworkView{devices, links, host});
    }
    std::vector<int> Problems(const std::string& lines) {
        std::vector<int> out;
        for (const PlanProblem& problem : Check(lines).problems)
            out.push_back(problem.line);
        return out;
    }
    DeviceList devices;
    std::vector<Link> links{Link{"lan0", 2, Subnet{Ip("198.51.100.1"), 24}}};
    std::vector<Ipv4> host{Ip("198.51.100.1"), Ip("127.0.0.1")};
};

TEST_F(CheckFixture, AcceptsChangesToFreeAddressesAndSkipsTheRest) {
    CheckedPlan checked =
        Check("00-1a-2b-3c-4d-01,198.51.100.40\n00-1a-2b-3c-4d-03,\n00-1a-2b-3c-4d-04,198.51.100.41\n"
              "00-1a-2b-3c-4d-09,\n");
    ASSERT_TRUE(checked.problems.empty());
    ASSERT_EQ(checked.items.size(), 4u);
    EXPECT_EQ(checked.items[0].status, ChangeStatus::Waiting);
    EXPECT_EQ(checked.items[0].oldIp, "198.51.100.30");
    EXPECT_EQ(checked.items[0].newIp, "198.51.100.40");
    EXPECT_EQ(checked.items[1].status, ChangeStatus::Skipped);
    EXPECT_EQ(checked.items[2].status, ChangeStatus::Waiting);
    EXPECT_EQ(checked.items[3].status, ChangeStatus::Skipped) << "no change asked, so not looked for";
    EXPECT_EQ(checked.itemLines, (std::vector<int>{2, 3, 4, 5}));
}

TEST_F(CheckFixture, RefusesWhatTheNetworkForbids) {
    EXPECT_EQ(Problems("00-1a-2b-3c-4d-09,198.51.100.40\n"), std::vector<int>{2}) << "unknown MAC";
    EXPECT_EQ(Problems("00-1a-2b-3c-4d-01,198.51.100.31\n"), std::vector<int>{2}) << "held outside the plan";
    EXPECT_EQ(Problems("00-1a-2b-3c-4d-01,198.51.100.32\n00-1a-2b-3c-4d-03,\n"), std::vector<int>{2})
        << "held by a device the plan leaves where it is";
    EXPECT_EQ(Problems("00-1a-2b-3c-4d-01,198.51.100.1\n"), std::vector<int>{2}) << "this host's address";
    EXPECT_EQ(Problems("00-1a-2b-3c-4d-01,198.51.100.255\n00-1a-2b-3c-4d-04,198.51.100.0\n"),
              (std::vector<int>{2, 3}));
}

TEST_F(CheckFixture, DevicesThatMoveFreeTheirAddresses) {
    CheckedPlan swap = Check("00-1a-2b-3c-4d-01,198.51.100.31\n00-1a-2b-3c-4d-02,198.51.100.30\n");
    EXPECT_TRUE(swap.problems.empty());
    // 02 cannot move (01 keeps .30), so it keeps .31 and 03 cannot have it either.
    EXPECT_EQ(Problems("00-1a-2b-3c-4d-02,198.51.100.30\n00-1a-2b-3c-4d-03,198.51.100.31\n"),
              (std::vector<int>{2, 3}));
    CheckedPlan same = Check("00-1a-2b-3c-4d-02,198.51.100.31\n");
    ASSERT_EQ(same.items.size(), 1u);
    EXPECT_EQ(same.items[0].status, ChangeStatus::Skipped) << "it already has that address: nothing to send";
}

TEST_F(CheckFixture, AllocationSkipsHeldAddressesInMacOrder) {
    // Add two more factory-address devices, heard before the ones above in MAC order.
    for (uint8_t last : {0, 5})
        Hear(devices, last, "192.168.0.10");
    std::vector<DeviceRow> rows = BuildRows(devices, links, host);
    Allocation unreachable =
        AllocateFrom(Ip("198.51.100.30"), Selection::Unreachable, devices, rows, links, host);
    ASSERT_EQ(unreachable.error, "");
    ASSERT_EQ(unreachable.lines.size(), 3u);
    EXPECT_EQ(unreachable.lines[0].mac, MacOf(0));
    EXPECT_EQ(unreachable.lines[0].newIp, Ip("198.51.100.33")) << ".30 to .32 are held";
    EXPECT_EQ(unreachable.lines[1].mac, MacOf(4));
    EXPECT_EQ(unreachable.lines[1].newIp, Ip("198.51.100.34"));
    EXPECT_EQ(unreachable.lines[2].newIp, Ip("198.51.100.35"));
    // The allocation passes the plan checks.
    EXPECT_TRUE(CheckPlan(unreachable.lines, NetworkView{devices, links, host}).problems.empty());

    Allocation all = AllocateFrom(Ip("198.51.100.250"), Selection::All, devices, rows, links, host);
    EXPECT_NE(all.error, "") << "six devices do not fit in .250 to .254";
    EXPECT_TRUE(all.lines.empty());
    EXPECT_NE(AllocateFrom(Ip("203.0.113.5"), Selection::All, devices, rows, links, host).error, "")
        << "no link's subnet holds it";
    EXPECT_NE(AllocateFrom(Ip("198.51.100.255"), Selection::All, devices, rows, links, host).error, "");
    Allocation duplicates =
        AllocateFrom(Ip("198.51.100.2"), Selection::Duplicate, devices, rows, links, host);
    ASSERT_EQ(duplicates.lines.size(), 2u) << "of the three at 192.168.0.10, the first heard (04) stays";
    EXPECT_EQ(duplicates.lines[0].mac, MacOf(0));
    EXPECT_EQ(duplicates.lines[1].mac, MacOf(5));
}

// Ours: 01 at .30, 02 at .31. Cameras: a at .131 (its MAC in its scopes), b at .132 (no MAC), c on both
// cards at different addresses. The cameras also announce their addresses, as OtherHolders says.
struct CameraCheck : ::testing::Test {
    CameraCheck() {
        Hear(devices, 1, "198.51.100.30");
        Hear(devices, 2, "198.51.100.31");
        HearCamera(devices, "urn:uuid:a", "198.51.100.131", 0, MacOf(7));
        HearCamera(devices, "urn:uuid:b", "198.51.100.132");
        HearCamera(devices, "urn:uuid:c", "198.51.100.133", 0);
        HearCamera(devices, "urn:uuid:c", "203.0.113.133", 1);
        for (const char* ip : {"198.51.100.131", "198.51.100.132", "198.51.100.133"})
            held[Ip(ip)] = std::string(ip) + " is announced by a camera";
    }
    CheckedPlan Check(const std::string& lines) {
        Plan plan = ReadPlan("mac,new_ip,endpoint,interface,prefix_length,gateway,user\n" + lines);
        EXPECT_TRUE(plan.problems.empty()) << plan.problems[0].message;
        return CheckPlan(plan.lines, NetworkView{devices, links, host, &held});
    }
    std::string Refusal(const std::string& lines) {
        CheckedPlan checked = Check(lines);
        return checked.problems.empty() ? "" : checked.problems[0].message;
    }
    DeviceList devices;
    std::vector<Link> links{Link{"lan0", 2, Subnet{Ip("198.51.100.1"), 24}},
                            Link{"lan1", 3, Subnet{Ip("203.0.113.1"), 24}}};
    std::vector<Ipv4> host{Ip("198.51.100.1"), Ip("203.0.113.1")};
    std::map<Ipv4, std::string> held;
};

TEST_F(CameraCheck, FindsACameraByItsEndpoint) {
    CheckedPlan checked =
        Check(",198.51.100.40,urn:uuid:a,,,198.51.100.254,admin\n,198.51.100.41,URN:UUID:B,,,\n");
    ASSERT_TRUE(checked.problems.empty()) << checked.problems[0].message;
    const ChangeItem& a = checked.items.at(0);
    EXPECT_EQ(a.status, ChangeStatus::Waiting);
    ASSERT_TRUE(a.camera);
    EXPECT_EQ(a.camera->endpoint, "urn:uuid:a");
    EXPECT_EQ(a.camera->xaddr, "http://198.51.100.131/onvif/device_service");
    EXPECT_EQ(a.camera->gateway, Ip("198.51.100.254"));
    EXPECT_EQ(a.camera->credentials, std::nullopt) << "apply gives them";
    EXPECT_EQ(checked.itemUsers, (std::vector<std::string>{"admin", ""}));
    EXPECT_EQ(a.mac, MacOf(7));
    EXPECT_EQ(a.oldIp, "198.51.100.131");
    EXPECT_EQ(checked.items.at(1).mac, Mac{});
    EXPECT_EQ(DeviceName(checked.items.at(1)), "urn:uuid:b");

    CheckedPlan missing = Check(",198.51.100.42,urn:uuid:z,lan0,,\n,198.51.100.43,urn:uuid:c,,,\n");
    ASSERT_EQ(missing.problems.size(), 2u);
    EXPECT_EQ(missing.problems[0].message, "no camera with endpoint urn:uuid:z answered on lan0");
    EXPECT_TRUE(missing.problems[0].notFound);
    EXPECT_NE(missing.problems[1].message.find("on lan1 (203.0.113.1) at 203.0.113.133"), std::string::npos)
        << missing.problems[1].message;
    EXPECT_FALSE(missing.problems[1].notFound);
    EXPECT_EQ(Refusal(",203.0.113.40,urn:uuid:c,lan1,,\n"), "") << "its interface named";
}

TEST_F(CameraCheck, AddressesAreHeldAndFreedAcrossBothMakes) {
    EXPECT_NE(
        Refusal("00-1a-2b-3c-4d-01,198.51.100.132,,,,\n").find("held by the WS-Discovery camera urn:uuid:b"),
        std::string::npos);
    EXPECT_NE(Refusal(",198.51.100.31,urn:uuid:a,,,\n").find("held by device 00-1a-2b-3c-4d-02"),
              std::string::npos);
    // A swap: each frees its address, although the camera still announces its own.
    CheckedPlan swap = Check(",198.51.100.30,urn:uuid:a,,,\n00-1a-2b-3c-4d-01,198.51.100.131,,,,\n");
    ASSERT_TRUE(swap.problems.empty()) << swap.problems[0].message;
    EXPECT_EQ(swap.items[0].status, ChangeStatus::Waiting);
    EXPECT_EQ(swap.items[1].status, ChangeStatus::Waiting);
    // Through a free address, and ours takes the detour: a camera's change may cost a reboot.
    ChangeOrder order = OrderChanges(swap.items, [](size_t) { return Ip("198.51.100.3"); });
    ASSERT_EQ(order.steps.size(), 3u);
    EXPECT_EQ(order.steps[0].item, 1u);
    EXPECT_TRUE(order.steps[0].parking);
    EXPECT_EQ(order.steps[1].item, 0u);
    EXPECT_EQ(order.steps[1].after, std::vector<size_t>{0});
    EXPECT_EQ(Check(",198.51.100.131,urn:uuid:a,,,\n").items.at(0).status, ChangeStatus::Skipped)
        << "it already has it";
}

TEST_F(CameraCheck, AGatewayMustLieInTheNewSubnet) {
    EXPECT_NE(Refusal(",198.51.100.40,urn:uuid:a,,,203.0.113.254\n").find("outside 198.51.100.0/24"),
              std::string::npos);
    EXPECT_EQ(Refusal(",198.51.100.40,urn:uuid:a,,16,198.51.0.1\n"), "") << "its own prefix length";
    EXPECT_NE(Refusal(",198.51.100.40,urn:uuid:a,,,198.51.100.40\n"), "");
    EXPECT_NE(Refusal(",198.51.100.128,urn:uuid:a,,25,198.51.100.129\n").find("subnet address"),
              std::string::npos);
}

TEST(ChangeReport, NamesCamerasByEndpointWhenTheirMacIsUnknown) {
    std::vector<ChangeItem> items(2);
    items[0].mac = MacOf(1);
    items[0].oldIp = "198.51.100.30";
    items[0].newIp = "198.51.100.40";
    items[0].status = ChangeStatus::Waiting;
    items[1] = items[0];
    items[1].mac = Mac{};
    items[1].camera = CameraChange{"urn:uuid:b", "http://198.51.100.132/", std::nullopt, 24, std::nullopt};
    std::ostringstream csv, table, dry;
    WriteReport(csv, ReportFormat::Csv, items);
    EXPECT_EQ(csv.str(), "mac,old_ip,new_ip,status,seconds,detail,in_subnet,endpoint\n"
                         "00-1a-2b-3c-4d-01,198.51.100.30,198.51.100.40,waiting,0.00,,true,\n"
                         ",198.51.100.30,198.51.100.40,waiting,0.00,,true,urn:uuid:b\n");
    WriteDryRun(dry, items);
    EXPECT_EQ(dry.str().substr(0, dry.str().find('\n', dry.str().find('\n') + 1)),
              "DEVICE             OLD IP         NEW IP\n"
              "00-1a-2b-3c-4d-01  198.51.100.30  198.51.100.40");
    WriteResultTable(table, items);
    EXPECT_NE(table.str().find("\nurn:uuid:b  "), std::string::npos) << table.str();
}

} // namespace
} // namespace quillctl
