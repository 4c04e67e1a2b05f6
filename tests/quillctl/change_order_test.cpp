// Changes as an installer re-addressing a site needs them: in an order that never puts two devices on
// one address, with what happened to each in the report, and nothing sent that no device should take.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "command_run.h"
#include "net/exit_status.h"
#include "wire_protocol.h"

namespace quillctl {
namespace {

using namespace std::chrono_literals;
using testing::ChangeMode;
using testing::Device;
using testing::FakeHost;
using testing::MacNumber;
using testing::Outcome;
using testing::Quillctl;
using testing::SentDatagram;

std::string MacArg(int n) { return MacText(MacNumber(n)); }

std::string Plan(const std::string& name, const std::vector<std::pair<int, std::string>>& lines) {
    std::string path = ::testing::TempDir() + "/" + name + ".csv";
    std::ofstream file(path);
    file << "mac,new_ip\n";
    for (const auto& [n, ip] : lines)
        file << MacArg(n) << ',' << ip << '\n';
    return path;
}

// Each change command as "device n -> address", in the order they went out, repeats left out.
std::vector<std::string> Commands(const FakeHost& host) {
    std::vector<std::string> commands;
    for (const SentDatagram& sent : host.lan->sent) {
        if (!sent.IsCommand())
            continue;
        std::string text = std::to_string(sent.bytes[quillmast::kChangeCmdMacOffset + 5]) + " -> " +
                           reinterpret_cast<const char*>(sent.bytes.data() + quillmast::kChangeCmdIpOffset);
        if (commands.empty() || commands.back() != text)
            commands.push_back(text);
    }
    return commands;
}

nlohmann::json Report(FakeHost& host, std::vector<std::string> args, int status) {
    std::string path = ::testing::TempDir() + "/quillctl_order_report.json";
    args.insert(args.end(), {"--report", path});
    Outcome run = Quillctl(host, args);
    EXPECT_EQ(run.status, status) << run.err;
    return nlohmann::json::parse(std::ifstream(path));
}

TEST(ChangeOrder, ASwapGoesThroughAFreeAddressAndTheDryRunSaysSo) {
    FakeHost host(testing::OneLanHost());
    host.devices = {Device(1, "198.51.100.30"), Device(2, "198.51.100.31"), Device(3, "198.51.100.2")};
    std::string plan = Plan("swap", {{1, "198.51.100.31"}, {2, "198.51.100.30"}});
    Outcome dry = Quillctl(host, {"apply", plan, "--dry-run"});
    EXPECT_EQ(dry.status, kExitDone) << dry.err;
    EXPECT_NE(
        dry.out.find(
            "Order (no two devices on one address at any time):\n"
            "  1. 02-00-00-00-00-01  198.51.100.30 -> 198.51.100.3 (a free address on the way "
            "to 198.51.100.31), at once\n"
            "  2. 02-00-00-00-00-02  198.51.100.31 -> 198.51.100.30, once step 1 is confirmed\n"
            "  3. 02-00-00-00-00-01  198.51.100.3 -> 198.51.100.31, once steps 1 and 2 are confirmed\n"),
        std::string::npos)
        << dry.out;

    nlohmann::json report = Report(host, {"apply", plan}, kExitDone);
    EXPECT_EQ(Commands(host),
              (std::vector<std::string>{"1 -> 198.51.100.3", "2 -> 198.51.100.30", "1 -> 198.51.100.31"}));
    EXPECT_EQ(report[0]["status"], "confirmed");
    EXPECT_EQ(report[1]["status"], "confirmed");
}

TEST(ChangeOrder, AFailedStepLeavesTheDevicesBehindItUnsent) {
    FakeHost host(testing::OneLanHost());
    // 2 takes 1's address, 3 takes 2's: a chain behind 1, which never answers.
    host.devices = {Device(1, "198.51.100.30"), Device(2, "198.51.100.31"), Device(3, "198.51.100.32")};
    host.devices[0].mode = ChangeMode::Never;
    nlohmann::json report =
        Report(host,
               {"apply", Plan("chain", {{1, "198.51.100.40"}, {2, "198.51.100.30"}, {3, "198.51.100.31"}}),
                "--timeout", "2"},
               kExitNotConfirmed);
    EXPECT_EQ(Commands(host), std::vector<std::string>{"1 -> 198.51.100.40"});
    EXPECT_EQ(report[0]["status"], "failed");
    EXPECT_EQ(report[0]["detail"], "unconfirmed");
    EXPECT_EQ(report[1]["status"], "skipped");
    EXPECT_EQ(report[1]["detail"],
              "unsent: waits for 02-00-00-00-00-01 to leave 198.51.100.30, which it did not confirm");
    EXPECT_EQ(report[2]["status"], "skipped");
    EXPECT_EQ(report[2]["detail"].get<std::string>().substr(0, 7), "unsent:");
}

TEST(ChangeDetails, InterruptionsAndSendErrorsAreToldApartFromFailures) {
    FakeHost host(testing::OneLanHost());
    host.devices = {Device(1, "198.51.100.30"), Device(2, "198.51.100.31"), Device(3, "198.51.100.32")};
    host.devices[0].mode = ChangeMode::Never;
    host.interruptAt = 4000ms; // two seconds of search, then two of changes
    std::string plan =
        Plan("interrupted", {{1, "198.51.100.40"}, {2, "198.51.100.30"}, {3, "198.51.100.42"}});
    nlohmann::json report = Report(host, {"apply", plan}, kExitFailure);
    EXPECT_EQ(report[0]["status"], "failed");
    EXPECT_EQ(report[0]["detail"], "interrupted: sent 3 times, state unknown");
    EXPECT_EQ(report[1]["status"], "skipped") << "nothing went out for it";
    EXPECT_EQ(report[1]["detail"], "unsent: interrupted before it was sent");
    EXPECT_EQ(report[2]["status"], "confirmed") << "it took its address before the interruption";
    EXPECT_EQ(report[2]["detail"], "");

    host.interruptAt.reset();
    host.commandError = "Network is unreachable";
    report = Report(host, {"apply", plan}, kExitFailure);
    EXPECT_EQ(report[2]["status"], "skipped");
    EXPECT_EQ(report[2]["detail"], "unsent: Network is unreachable");
    Outcome setIp = Quillctl(host, {"set-ip", MacArg(3), "198.51.100.42"});
    EXPECT_EQ(setIp.status, kExitFailure);
    EXPECT_NE(setIp.err.find("could not be sent: Network is unreachable"), std::string::npos) << setIp.err;
}

TEST(ChangeDetails, OnlyADottedAddressOtherThanTheOldOneSettlesAChange) {
    FakeHost host(testing::OneLanHost());
    host.devices = {Device(1, "198.51.100.30")};
    host.devices[0].mode = ChangeMode::Other;
    for (const char* answer : {"", "camera.local"}) {
        host.devices[0].otherIp = answer;
        Outcome run = Quillctl(host, {"set-ip", MacArg(1), "198.51.100.40", "--timeout", "2"});
        EXPECT_EQ(run.status, kExitNotConfirmed);
        EXPECT_NE(run.err.find("did not confirm 198.51.100.40"), std::string::npos) << answer << run.err;
    }
}

TEST(ChangeRefusals, OutsideTheSubnetIsWarnedAndImpossibleAddressesAreNeverSent) {
    FakeHost host(testing::OneLanHost());
    host.devices = {Device(1, "198.51.100.30"), Device(2, "198.51.100.31")};
    Outcome typo = Quillctl(host, {"set-ip", MacArg(1), "198.51.10.40"});
    EXPECT_EQ(typo.status, kExitDone);
    EXPECT_EQ(typo.err, "quillctl: warning: 198.51.10.40 for 02-00-00-00-00-01 lies outside the subnet "
                        "198.51.100.0/24 of lan0 (198.51.100.1): nothing on that card will reach the device "
                        "there\n");
    std::string plan = Plan("outside", {{2, "10.0.0.9"}});
    Outcome dry = Quillctl(host, {"apply", plan, "--dry-run"});
    EXPECT_NE(dry.err.find("warning: 10.0.0.9 for 02-00-00-00-00-02 lies outside"), std::string::npos);
    EXPECT_EQ(Report(host, {"apply", plan}, kExitDone)[0]["in_subnet"], false);

    for (const char* impossible : {"0.0.0.0", "127.0.0.1", "224.0.0.1", "255.255.255.255"}) {
        host.lan.reset();
        Outcome forced = Quillctl(host, {"set-ip", MacArg(1), impossible, "--force"});
        EXPECT_EQ(forced.status, kExitUsage) << impossible;
        EXPECT_EQ(host.lan, nullptr) << impossible << ": refused before any socket is opened";
    }
}

TEST(ChangeRefusals, AnAddressAnsweringArpOrAnnouncedByACameraIsRefused) {
    FakeHost host(testing::OneLanHost());
    host.devices = {Device(1, "198.51.100.30"), Device(2, "198.51.100.31")};
    host.devices[1].delay = 1500ms; // heard long after the device asked for: the search lasts its time
    host.arpHolders["198.51.100.40"] = Mac{0x00, 0x1b, 0, 0, 0, 0x40};
    host.onvifDevices = {testing::FakeOnvifDevice{}}; // at 198.51.100.131
    for (const char* held : {"198.51.100.31", "198.51.100.40", "198.51.100.131"}) {
        Outcome run = Quillctl(host, {"set-ip", MacArg(1), held});
        EXPECT_EQ(run.status, kExitUsage) << held;
        EXPECT_EQ(host.lan->Count(&SentDatagram::IsCommand), 0u) << held;
    }
    for (const char* held : {"198.51.100.40", "198.51.100.131"})
        EXPECT_EQ(Quillctl(host, {"apply", Plan("held", {{1, held}})}).status, kExitUsage) << held;
    EXPECT_NE(Quillctl(host, {"set-ip", MacArg(1), "198.51.100.40"})
                  .err.find("198.51.100.40 answers ARP on lan0 (198.51.100.1) from 00-1b-00-00-00-40"),
              std::string::npos);
    Outcome forced = Quillctl(host, {"set-ip", MacArg(1), "198.51.100.40", "--force"});
    EXPECT_EQ(forced.status, kExitDone) << forced.err;

    // --from passes over it as over any held address.
    Outcome from = Quillctl(host, {"apply", "--from", "198.51.100.40", "--select", "all", "--dry-run"});
    EXPECT_NE(from.out.find("198.51.100.30  198.51.100.41"), std::string::npos) << from.out;
}

TEST(ExitStatuses, AsTheTableSays) {
    FakeHost host(testing::OneLanHost());
    host.devices = {Device(1, "198.51.100.30"), Device(2, "camera.local")};
    EXPECT_EQ(Quillctl(host, {"apply", Plan("missing", {{9, "198.51.100.40"}})}).status, kExitNotFound);
    EXPECT_EQ(Quillctl(host, {"web", MacArg(2)}).status, kExitFailure);
    Outcome bogus = Quillctl(host, {"bogus", "--help"});
    EXPECT_EQ(bogus.status, kExitUsage);
    EXPECT_EQ(bogus.out, "");
    EXPECT_EQ(bogus.err, "quillctl: unknown command 'bogus' (quillctl --help lists the commands)\n");
}

} // namespace
} // namespace quillctl
