// The commands end to end against an in-memory LAN: what is sent and when, what is printed, and the
// exit status scripts rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "commands/command_line.h"
#include "command_run.h"
#include "net/exit_status.h"
#include "fake_lan.h"
#include "wire_protocol.h"

namespace quillctl {
namespace {

using namespace std::chrono_literals;
using testing::ChangeMode;
using testing::Device;
using testing::FakeHost;
using testing::Lines;
using testing::MacNumber;
using testing::Outcome;
using testing::Quillctl;
using testing::SentDatagram;

std::string MacArg(int n) { return MacText(MacNumber(n)); }

TEST(FindCommand, SearchesEveryLinkEvery900MsUntilTheTimeout) {
    FakeHost host(testing::TwoLanHost());
    host.devices = {Device(1, "198.51.100.30", 0), Device(2, "203.0.113.30", 1),
                    Device(3, "192.168.0.10", 1)};
    Outcome run = Quillctl(host, {"find", "--format", "json"});
    ASSERT_EQ(run.status, kExitDone) << run.err;
    std::vector<std::chrono::milliseconds> searches;
    for (const SentDatagram& sent : host.lan->sent) {
        ASSERT_TRUE(sent.IsSearch());
        EXPECT_EQ(sent.bytes,
                  std::vector<uint8_t>(quillmast::kSearchRequest, quillmast::kSearchRequest + 19));
        if (sent.link == 0)
            searches.push_back(sent.at);
    }
    EXPECT_EQ(searches, (std::vector<std::chrono::milliseconds>{0ms, 900ms, 1800ms}));
    EXPECT_EQ(host.lan->sent.size(), 6u) << "the same searches on the second link";
    EXPECT_EQ(host.lan->Elapsed(), 2000ms);
    nlohmann::json rows = nlohmann::json::parse(run.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1]["interface"], "203.0.113.1");
    EXPECT_EQ(rows[2]["in_subnet"], false);
}

TEST(FindCommand, CountEndsTheSearchAtOnceAndTooFewIsExitFour) {
    FakeHost host(testing::OneLanHost());
    for (int i = 0; i < 256; ++i)
        host.devices.push_back(Device(i, "198.51.100." + std::to_string(i % 250 + 2)));
    host.devices.back().delay = 40ms;
    Outcome run = Quillctl(host, {"find", "--count", "256", "--format", "csv"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(host.lan->Elapsed(), 40ms) << "returns when the last one answers";
    EXPECT_EQ(Lines(run.out), 257);

    Outcome tooFew = Quillctl(host, {"find", "--count", "300", "--timeout", "1", "--format", "csv"});
    EXPECT_EQ(tooFew.status, kExitNotFound);
    EXPECT_EQ(Lines(tooFew.out), 257) << "what was found is still printed";
    EXPECT_EQ(tooFew.err, "quillctl: 256 of 300 devices answered within 1 s\n");
}

TEST(FindCommand, JsonLinesStreamEachDeviceOnceWithoutWatchAndChangesWithIt) {
    FakeHost host(testing::OneLanHost());
    host.devices = {Device(1, "198.51.100.30"), Device(2, "198.51.100.31")};
    Outcome once = Quillctl(host, {"find", "--format", "jsonl"});
    EXPECT_EQ(Lines(once.out), 2) << "three searches, two devices";

    // A second device with the first one's address appears later: with --watch the first device's
    // duplicate flag changes, and that change is printed too.
    host.devices[1].ip = "198.51.100.30";
    host.devices[1].delay = 1000ms;
    host.interruptAt = 2500ms;
    Outcome watched = Quillctl(host, {"find", "--watch", "--format", "jsonl"});
    EXPECT_EQ(watched.status, kExitDone) << "an interrupted watch is its normal end";
    std::istringstream lines(watched.out);
    std::vector<nlohmann::json> objects;
    for (std::string line; std::getline(lines, line);)
        objects.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0]["number"], 1);
    EXPECT_EQ(objects[0]["duplicate_ip"], false);
    // Then, from the same batch, the first device again (now a duplicate) and the second one.
    EXPECT_EQ(objects[1]["number"], 1);
    EXPECT_EQ(objects[1]["duplicate_ip"], true);
    EXPECT_EQ(objects[2]["number"], 2);
}

TEST(FindCommand, UnusableInterfacesAndOptionsAreUsageErrors) {
    FakeHost host(testing::OneLanHost());
    Outcome unknown = Quillctl(host, {"find", "--interface", "eth7"});
    EXPECT_EQ(unknown.status, kExitUsage);
    EXPECT_EQ(Lines(unknown.err), 1);
    EXPECT_EQ(host.lan, nullptr) << "no socket opened";
    for (std::vector<std::string> args :
         std::vector<std::vector<std::string>>{{"find", "--bogus"},
                                               {"find", "--format", "xml"},
                                               {"find", "--count", "0"},
                                               {"find", "--watch", "--count", "2"},
                                               {"find", "--watch", "--format", "json"},
                                               {"set-ip", "00-1a-2b-3c-4d-5e"},
                                               {}}) {
        Outcome bad = Quillctl(host, args);
        EXPECT_EQ(bad.status, kExitUsage) << (args.empty() ? "" : args.back());
        EXPECT_EQ(Lines(bad.err), 1) << bad.err;
    }
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"set-ip", "urn:uuid:1", "198.51.100.40", "--password", "Sesame-7!"},
             {"apply", "plan.csv", "--password=Sesame-7!"}}) {
        Outcome mistaken = Quillctl(host, args);
        EXPECT_EQ(mistaken.status, kExitUsage);
        EXPECT_NE(mistaken.err.find("unexpected --password"), std::string::npos) << mistaken.err;
        EXPECT_EQ(mistaken.err.find("Sesame"), std::string::npos)
            << "a mistaken option's value is not echoed";
    }
}

TEST(SetIpCommand, SearchesThenSendsOnlyTheCommandUntilConfirmed) {
    FakeHost host(testing::TwoLanHost());
    host.devices = {Device(1, "203.0.113.30", 1), Device(2, "198.51.100.30", 0)};
    Outcome run = Quillctl(host, {"set-ip", "02:00:00:00:00:01", "203.0.113.40"});
    ASSERT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(run.out, "02-00-00-00-00-01: 203.0.113.30 -> 203.0.113.40\n");
    const std::vector<SentDatagram>& sent = host.lan->sent;
    ASSERT_EQ(host.lan->Count(&SentDatagram::IsCommand), 1u);
    EXPECT_EQ(host.lan->Count(&SentDatagram::IsSearch), 6u)
        << "three searches on each link, then the command";
    EXPECT_TRUE(sent.back().IsCommand());
    EXPECT_EQ(sent.back().link, 1u) << "on the link where the device answered";
    EXPECT_EQ(sent.back().at, 2000ms) << "when the whole --find-timeout has passed";
    uint8_t expected[41] = {};
    quillmast::InitChangeIpCommandHead(expected);
    const uint8_t mac[6] = {2, 0, 0, 0, 0, 1};
    quillmast::WriteChangeIpTarget(expected, mac, "203.0.113.40");
    EXPECT_EQ(sent.back().bytes, std::vector<uint8_t>(expected, expected + 41));
}

TEST(SetIpCommand, NeverConfirmedIsExitThreeAfterTheWait) {
    FakeHost host(testing::OneLanHost());
    host.devices = {Device(1, "198.51.100.30")};
    host.devices[0].mode = ChangeMode::Never;
    Outcome run = Quillctl(host, {"set-ip", MacArg(1), "198.51.100.40", "--timeout", "5"});
    EXPECT_EQ(run.status, kExitNotConfirmed);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("did not confirm 198.51.100.40 within 5 s"), std::string::npos) << run.err;
    EXPECT_EQ(host.lan->Count(&SentDatagram::IsCommand), 6u) << "at 0, 0.9, ... 4.5 s after the search";
    EXPECT_EQ(host.lan->Count(&SentDatagram::IsSearch), 3u) << "no search while the command is pending";
}

TEST(SetIpCommand, AnotherAddressIsReportedAsSuch) {
    FakeHost host(testing::OneLanHost());
    host.devices = {Device(1, "198.51.100.30")};
    host.devices[0].mode = ChangeMode::Other;
    host.devices[0].otherIp = "198.51.100.99";
    Outcome run = Quillctl(host, {"set-ip", MacArg(1), "198.51.100.40"});
    EXPECT_EQ(run.status, kExitNotConfirmed);
    EXPECT_EQ(run.out, "02-00-00-00-00-01: 198.51.100.30 -> 198.51.100.99\n");
    EXPECT_NE(run.err.find("it took 198.51.100.99, not 198.51.100.40"), std::string::npos) << run.err;
}

TEST(SetIpCommand, RefusalsAndNothingToDoSendNoCommand) {
    FakeHost host(testing::OneLanHost());
    host.devices = {Device(1, "198.51.100.30"), Device(2, "198.51.100.31")};
    struct Case {
        std::vector<std::string> args;
        int status;
    };
    for (const Case& c : std::vector<Case>{{{"set-ip", MacArg(1), "198.51.100.31"}, kExitUsage},
                                           {{"set-ip", MacArg(1), "198.51.100.1"}, kExitUsage},
                                           {{"set-ip", MacArg(1), "198.51.100.255"}, kExitUsage},
                                           {{"set-ip", MacArg(1), "127.0.0.2"}, kExitUsage},
                                           {{"set-ip", MacArg(1), "198.51.100.030"}, kExitUsage},
                                           {{"set-ip", "02-00-00-00-00", "198.51.100.40"}, kExitUsage},
                                           {{"set-ip", MacArg(1), "198.51.100.30"}, kExitDone},
                                           {{"set-ip", MacArg(9), "198.51.100.40"}, kExitNotFound}}) {
        host.lan.reset();
        Outcome run = Quillctl(host, c.args);
        EXPECT_EQ(run.status, c.status) << c.args[2] << ": " << run.err;
        if (host.lan) {
            EXPECT_EQ(host.lan->Count(&SentDatagram::IsCommand), 0u) << c.args[2];
        }
    }
    host.lan.reset();
    Outcome forced = Quillctl(host, {"set-ip", MacArg(1), "198.51.100.31", "--force"});
    EXPECT_EQ(forced.status, kExitDone) << forced.err;
}

TEST(ApplyCommand, SixtyFourDevicesAreChangedInTheSameTicks) {
    FakeHost host(testing::OneLanHost());
    for (int i = 0; i < 64; ++i) {
        host.devices.push_back(Device(i, "192.168.0.10"));
        host.devices.back().delay = 20ms;
    }
    host.devices[7].mode = ChangeMode::Never;
    Outcome run =
        Quillctl(host, {"apply", "--from", "198.51.100.100", "--select", "unreachable", "--timeout", "3"});
    EXPECT_EQ(run.status, kExitNotConfirmed);
    EXPECT_NE(run.err.find("1 of 64 changes not done as asked"), std::string::npos) << run.err;
    std::map<std::chrono::milliseconds, int> commandsAt;
    for (const SentDatagram& sent : host.lan->sent)
        if (sent.IsCommand())
            ++commandsAt[sent.at];
    // All 64 go out at the first tick after the search; only the one that never answers is repeated.
    ASSERT_GE(commandsAt.size(), 2u);
    EXPECT_EQ(commandsAt.begin()->second, 64);
    EXPECT_EQ(std::next(commandsAt.begin())->second, 1);
    EXPECT_NE(run.out.find("02-00-00-00-00-07  192.168.0.10  198.51.100.107  failed"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("02-00-00-00-00-3f  192.168.0.10  198.51.100.163  confirmed  0.02"),
              std::string::npos);
}

TEST(ApplyCommand, APlanWithErrorsSendsNothingAndNamesItsLines) {
    FakeHost host(testing::OneLanHost());
    host.devices = {Device(1, "198.51.100.30"), Device(2, "198.51.100.31")};
    std::string path = ::testing::TempDir() + "/quillctl_plan_test.csv";
    std::ofstream(path) << "mac,new_ip\n"
                        << MacArg(1) << ",198.51.100.31\n"
                        << MacArg(9) << ",198.51.100.41\n"
                        << MacArg(2) << ",198.51.100.999\n";
    Outcome run = Quillctl(host, {"apply", path});
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_NE(run.err.find(path + ":2: 198.51.100.31 is held by device 02-00-00-00-00-02"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find(path + ":3: no device with MAC 02-00-00-00-00-09"), std::string::npos);
    EXPECT_NE(run.err.find(path + ":4: bad address"), std::string::npos);
    EXPECT_EQ(host.lan->Count(&SentDatagram::IsCommand), 0u);

    host.lan.reset();
    Outcome unreadable = Quillctl(host, {"apply", path + ".missing"});
    EXPECT_EQ(unreadable.status, kExitUsage);
    EXPECT_EQ(Lines(unreadable.err), 1);
    EXPECT_EQ(host.lan, nullptr);
}

TEST(ApplyCommand, DryRunAndReportFile) {
    FakeHost host(testing::OneLanHost());
    host.devices = {Device(2, "192.168.0.10"), Device(1, "192.168.0.10"), Device(3, "198.51.100.30")};
    Outcome dry = Quillctl(host, {"apply", "--from", "198.51.100.30", "--select", "duplicate", "--dry-run"});
    EXPECT_EQ(dry.status, kExitDone) << dry.err;
    // 02 answered first and keeps the shared address; only 01 moves.
    EXPECT_EQ(dry.out, "MAC                OLD IP        NEW IP\n"
                       "02-00-00-00-00-01  192.168.0.10  198.51.100.31\n"
                       "1 change would be sent (dry run: nothing sent).\n");
    EXPECT_EQ(host.lan->Count(&SentDatagram::IsCommand), 0u);

    std::string report = ::testing::TempDir() + "/quillctl_report_test.json";
    Outcome real =
        Quillctl(host, {"apply", "--from", "198.51.100.30", "--select", "duplicate", "--report", report});
    EXPECT_EQ(real.status, kExitDone) << real.err;
    EXPECT_EQ(real.err, "") << "no progress line off a terminal";
    nlohmann::json written = nlohmann::json::parse(std::ifstream(report));
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0]["new_ip"], "198.51.100.31");
    EXPECT_EQ(written[0]["status"], "confirmed");

    EXPECT_EQ(
        Quillctl(host, {"apply", "--from", "198.51.100.30", "--select", "all", "--report", "r.txt"}).status,
        kExitUsage);
    EXPECT_EQ(Quillctl(host, {"apply", "--from", "198.51.100.30"}).status, kExitUsage)
        << "--select is required";
    EXPECT_EQ(Quillctl(host, {"apply", "--from", "10.1.1.1", "--select", "all"}).status, kExitUsage)
        << "no link's subnet holds it";
}

// One MAC on both cards: the same device twice at one address, two devices at two.
TEST(OneMacOnTwoCards, SetIpRefusesUntilAnInterfacePicksOneAndOneDeviceSeenTwiceIsChanged) {
    FakeHost host(testing::TwoLanHost());
    host.devices = {Device(1, "198.51.100.30", 0), Device(1, "203.0.113.30", 1)};
    Outcome refused = Quillctl(host, {"set-ip", MacArg(1), "203.0.113.40"});
    EXPECT_EQ(refused.status, kExitUsage);
    EXPECT_EQ(refused.err, "quillctl: 02-00-00-00-00-01 answers on lan0 (198.51.100.1) at 198.51.100.30 and "
                           "on lan1 (203.0.113.1) at 203.0.113.30: two devices share the MAC; pick one with "
                           "--interface\n");
    EXPECT_EQ(host.lan->Count(&SentDatagram::IsCommand), 0u);
    host.devices[0].link = 1; // --interface lan1 leaves one link, lan1, at index 0
    host.devices[1].link = 0;
    Outcome picked = Quillctl(host, {"set-ip", "--interface", "lan1", MacArg(1), "203.0.113.40"});
    EXPECT_EQ(picked.status, kExitDone) << picked.err;
    EXPECT_EQ(host.lan->devices[1].ip, "203.0.113.40");

    host.devices = {Device(2, "198.51.100.31", 0), Device(2, "198.51.100.31", 1)};
    Outcome twice = Quillctl(host, {"find", "--format", "json"});
    nlohmann::json rows = nlohmann::json::parse(twice.out);
    ASSERT_EQ(rows.size(), 2u) << "a row per card";
    EXPECT_EQ(rows[1]["duplicate_mac"], true);
    EXPECT_EQ(rows[1]["duplicate_ip"], false) << "one device seen twice";
    Outcome once = Quillctl(host, {"set-ip", MacArg(2), "198.51.100.41"});
    EXPECT_EQ(once.status, kExitDone) << once.err;
    for (const SentDatagram& sent : host.lan->sent)
        EXPECT_TRUE(!sent.IsCommand() || sent.link == 0) << "on the card it answered on first";
}

TEST(OneMacOnTwoCards, ApplyBindsLinesToTheirInterfaceAndOnlyThatCardsReplySettles) {
    FakeHost host(testing::TwoLanHost());
    host.devices = {Device(1, "198.51.100.30", 0), Device(1, "203.0.113.30", 1)};
    host.devices[0].mode = ChangeMode::Never;
    std::string path = ::testing::TempDir() + "/quillctl_two_cards_plan.csv";
    std::ofstream(path) << "mac,interface,new_ip\n"
                        << MacArg(1) << ",198.51.100.1,198.51.100.40\n"
                        << MacArg(1) << ",lan1,203.0.113.40\n";
    Outcome run = Quillctl(host, {"apply", path, "--timeout", "3"});
    EXPECT_EQ(run.status, kExitNotConfirmed) << run.err;
    EXPECT_NE(run.out.find("02-00-00-00-00-01  198.51.100.30  198.51.100.40  failed"), std::string::npos)
        << "the other card's device confirming its own change says nothing of this one\n"
        << run.out;
    EXPECT_NE(run.out.find("02-00-00-00-00-01  203.0.113.30   203.0.113.40   confirmed"), std::string::npos);

    std::ofstream(path) << "mac,interface,new_ip\n" << MacArg(1) << ",,203.0.113.40\n";
    Outcome unbound = Quillctl(host, {"apply", path});
    EXPECT_EQ(unbound.status, kExitUsage);
    EXPECT_NE(unbound.err.find(":2: MAC 02-00-00-00-00-01 answers on lan0"), std::string::npos)
        << unbound.err;
}

TEST(WireSetup, ACardThatCannotBeSetUpIsSkippedWithOneWarningAndSilenceGetsThePlatformsHint) {
    FakeHost host(testing::TwoLanHost());
    host.unusableLinks = {"lan0"};
    host.devices = {Device(1, "203.0.113.30", 0)}; // index 0 of what is left: lan1
    host.noReplyHint = "the firewall may drop them";
    Outcome skipped = Quillctl(host, {"find", "--format", "csv"});
    EXPECT_EQ(skipped.status, kExitDone);
    EXPECT_EQ(Lines(skipped.out), 2);
    EXPECT_EQ(skipped.err, "quillctl: warning: skipping lan0 (198.51.100.1): cannot join 235.5.6.7 on lan0 "
                           "(198.51.100.1): No such device\n")
        << "one reply: no hint";

    host.unusableLinks = {"lan0", "lan1"};
    Outcome none = Quillctl(host, {"find"});
    EXPECT_EQ(none.status, kExitFailure);
    EXPECT_EQ(Lines(none.err), 2) << none.err;

    host.unusableLinks.clear();
    host.devices.clear();
    Outcome silent = Quillctl(host, {"find"});
    EXPECT_EQ(silent.status, kExitDone);
    EXPECT_EQ(silent.err, "quillctl: note: no reply at all arrived; the firewall may drop them\n");
    EXPECT_EQ(Quillctl(host, {"find", "--protocol", "onvif"}).err, "") << "not our port's silence";
}

TEST(WebCommand, OpensOnlyADottedAddressWithTheDevicesPort) {
    FakeHost host(testing::OneLanHost());
    host.devices = {Device(1, "198.51.100.30"), Device(2, "camera.local"), Device(3, "198.51.100.33")};
    host.devices[0].port = 8080;
    host.devices[2].port = std::nullopt;
    EXPECT_EQ(Quillctl(host, {"web", MacArg(1)}).out, "http://198.51.100.30:8080/\n");
    EXPECT_EQ(Quillctl(host, {"web", "198.51.100.33"}).out, "http://198.51.100.33:80/\n");
    Outcome notAnAddress = Quillctl(host, {"web", MacArg(2)});
    EXPECT_EQ(notAnAddress.status, kExitFailure);
    EXPECT_EQ(Quillctl(host, {"web", "http://evil/"}).status, kExitUsage);
    EXPECT_EQ(Quillctl(host, {"web", MacArg(4)}).status, kExitNotFound);
    EXPECT_EQ(host.opened,
              (std::vector<std::string>{"http://198.51.100.30:8080/", "http://198.51.100.33:80/"}));
}

TEST(CommandLine, VersionAndHelpNameTheExitStatuses) {
    FakeHost host(testing::OneLanHost());
    Outcome version = Quillctl(host, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "quillctl 2.003\n");
    for (std::vector<std::string> args : {std::vector<std::string>{"--help"}, {"apply", "--help"}}) {
        Outcome help = Quillctl(host, args);
        EXPECT_EQ(help.status, 0);
        for (const char* text : {"Exit status:", "  3  a change not confirmed", "  4  a named device"})
            EXPECT_NE(help.out.find(text), std::string::npos) << text;
    }
}

} // namespace
} // namespace quillctl
