// WS-Discovery beside our own search, against an in-memory LAN with cameras of another make: what is
// sent, what is listed and flagged, and what is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "command_run.h"
#include "net/exit_status.h"
#include "fake_lan.h"
#include "onvif/onvif_search.h"

namespace quillctl {
namespace {

using namespace std::chrono_literals;
using testing::Device;
using testing::FakeHost;
using testing::FakeOnvifDevice;
using testing::Lines;
using testing::Outcome;
using testing::Quillctl;
using testing::SentDatagram;

FakeOnvifDevice Camera(int n, const std::string& ip, size_t link = 0) {
    FakeOnvifDevice camera;
    camera.sample.endpoint = "urn:uuid:5a1b0000-0000-4000-8000-00000000000" + std::to_string(n);
    camera.sample.scopes = "onvif://www.onvif.org/name/Camera%20" + std::to_string(n) +
                           " onvif://www.onvif.org/hardware/QS-" + std::to_string(n);
    camera.sample.xaddrs = "http://" + ip + ":8080/onvif/device_service";
    camera.link = link;
    camera.source = ip;
    return camera;
}

nlohmann::json Json(const Outcome& run) { return nlohmann::json::parse(run.out); }

const nlohmann::json* RowOf(const nlohmann::json& rows, const std::string& key, const std::string& value) {
    for (const nlohmann::json& row : rows)
        if (row[key].is_string() && row[key] == value)
            return &row;
    return nullptr;
}

TEST(OnvifFind, ProbesEveryLinkAtEachTickAndListsBothKinds) {
    FakeHost host(testing::TwoLanHost());
    host.devices = {Device(1, "198.51.100.30", 0), Device(2, "203.0.113.30", 1)};
    host.onvifDevices = {Camera(1, "198.51.100.131", 0), Camera(2, "203.0.113.132", 1)};
    Outcome run = Quillctl(host, {"find", "--protocol", "all", "--format", "json"});
    ASSERT_EQ(run.status, kExitDone) << run.err;
    EXPECT_FALSE(host.wireOptions.onvifAnnounced) << "announcements are only listened to with --watch";

    std::set<std::string> ids;
    size_t probes = 0;
    for (const SentDatagram& sent : host.lan->sent) {
        if (!sent.IsProbe())
            continue;
        ++probes;
        ids.insert(sent.MessageId());
        EXPECT_EQ(sent.at.count() % 900, 0) << "probes go out with our searches";
    }
    EXPECT_EQ(probes, host.lan->Count(&SentDatagram::IsSearch));
    EXPECT_EQ(ids.size(), probes) << "every probe has a MessageID of its own";

    nlohmann::json rows = Json(run);
    ASSERT_EQ(rows.size(), 4u);
    const nlohmann::json* camera = RowOf(rows, "endpoint", "urn:uuid:5a1b0000-0000-4000-8000-000000000002");
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ((*camera)["protocol"], "onvif");
    EXPECT_EQ((*camera)["ip"], "203.0.113.132");
    EXPECT_EQ((*camera)["http_port"], 8080);
    EXPECT_EQ((*camera)["interface"], "203.0.113.1");
    EXPECT_EQ((*camera)["in_subnet"], true);
    EXPECT_EQ((*camera)["name"], "Camera 2");
    EXPECT_EQ((*camera)["hardware"], "QS-2");
    EXPECT_EQ((*camera)["xaddr"], "http://203.0.113.132:8080/onvif/device_service");
    EXPECT_TRUE((*camera)["mac"].is_null());
    EXPECT_EQ((*RowOf(rows, "ip", "198.51.100.30"))["protocol"], "quill");

    // The default is our search alone, as before: no WS-Discovery socket, no probe.
    Outcome ours = Quillctl(host, {"find", "--format", "json"});
    EXPECT_EQ(Json(ours).size(), 2u);
    EXPECT_FALSE(host.wireOptions.onvif);
    EXPECT_EQ(Quillctl(host, {"find", "-p", "onvif", "--format", "json"}).out.find("\"quill\""),
              std::string::npos);
    EXPECT_EQ(host.lan->Count(&SentDatagram::IsSearch), 0u);
}

TEST(OnvifFind, AnswerWithoutAddressIsResolvedAndALostAnswerIsFoundByTheNextProbe) {
    FakeHost host(testing::OneLanHost());
    host.onvifDevices = {Camera(1, "198.51.100.131"), Camera(2, "198.51.100.132")};
    host.onvifDevices[0].xaddrsInMatch = false;
    host.onvifDevices[1].dropProbeMatches = 1;
    Outcome run = Quillctl(host, {"find", "-p", "onvif", "--format", "jsonl"});
    ASSERT_EQ(run.status, kExitDone) << run.err;
    std::vector<nlohmann::json> rows;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
        rows.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(rows.size(), 2u) << run.out;
    EXPECT_EQ(rows[0]["xaddr"], "http://198.51.100.131:8080/onvif/device_service") << "from the ResolveMatch";
    EXPECT_EQ(rows[1]["ip"], "198.51.100.132") << "its first answer was lost; the second probe found it";
    // One Resolve: once listed, its answers without an address ask for none.
    EXPECT_EQ(host.lan->Count(&SentDatagram::IsResolve), 1u);
    EXPECT_EQ(run.err, "");
}

// The Resolves of each probe round (those sent after its probe, before the next), with the endpoints
// they asked for.
std::vector<std::vector<std::string>> ResolvesByRound(const testing::FakeLan& lan) {
    std::vector<std::vector<std::string>> rounds;
    for (const SentDatagram& datagram : lan.sent) {
        if (datagram.IsProbe())
            rounds.emplace_back();
        else if (datagram.IsResolve() && !rounds.empty())
            rounds.back().push_back(datagram.Endpoint());
    }
    return rounds;
}

TEST(OnvifFind, ResolvesAreBoundedPerRoundAndSenderAndNoneForAListedDevice) {
    // 80 cameras of their own and 20 behind one sender, none telling its address in a match.
    FakeHost host(testing::OneLanHost());
    std::set<std::string> shared;
    for (int n = 0; n < 100; ++n) {
        FakeOnvifDevice camera = Camera(n, "198.51.100." + std::to_string(100 + n % 80));
        camera.xaddrsInMatch = false;
        if (n >= 80) {
            camera.source = "198.51.100.200";
            shared.insert(camera.sample.endpoint);
        }
        host.onvifDevices.push_back(camera);
    }
    Outcome run = Quillctl(host, {"find", "-p", "onvif", "--format", "json", "--timeout", "8"});
    ASSERT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(Json(run).size(), 100u) << "every camera is listed in the end";
    std::set<std::string> resolved;
    for (const std::vector<std::string>& round : ResolvesByRound(*host.lan)) {
        EXPECT_LE(round.size(), kMaxResolvesPerRound);
        EXPECT_LE(
            std::count_if(round.begin(), round.end(), [&](const std::string& e) { return shared.count(e); }),
            static_cast<long>(kMaxResolvesPerSender));
        for (const std::string& endpoint : round)
            EXPECT_TRUE(resolved.insert(endpoint).second) << endpoint << " resolved again once listed";
    }
    EXPECT_EQ(resolved.size(), 100u);
}

TEST(OnvifFind, AFloodOfHellosWithoutAddressesAsksForFewResolves) {
    FakeHost host(testing::OneLanHost());
    for (int n = 0; n < 1000; ++n) {
        testing::SampleDevice stranger;
        stranger.endpoint = "urn:uuid:f100d000-0000-4000-8000-" + std::to_string(100000000000 + n);
        stranger.xaddrs = "";
        host.planted.push_back({std::chrono::milliseconds(100 + n), testing::Hello(stranger)});
    }
    host.interruptAt = 2000ms;
    Outcome run = Quillctl(host, {"find", "-p", "onvif", "--watch", "--format", "jsonl"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    size_t resolves = 0;
    for (const std::vector<std::string>& round : ResolvesByRound(*host.lan)) {
        EXPECT_LE(round.size(), kMaxResolvesPerSender) << "all from one sender";
        resolves += round.size();
    }
    EXPECT_GT(resolves, 0u);
    EXPECT_NE(run.err.find("without an address, beyond this round's Resolves"), std::string::npos) << run.err;
}

TEST(OnvifFind, AnAddressHeldAcrossMakesIsADuplicateUnlessTheMacSaysItIsOneDevice) {
    FakeHost host(testing::OneLanHost());
    host.devices = {Device(1, "198.51.100.30"), Device(2, "198.51.100.31")};
    FakeOnvifDevice intruder = Camera(1, "198.51.100.30");
    FakeOnvifDevice same = Camera(2, "198.51.100.31");
    same.sample.scopes += " onvif://www.onvif.org/MAC/" + MacText(testing::MacNumber(2));
    host.onvifDevices = {intruder, same};
    Outcome run = Quillctl(host, {"find", "--protocol", "all", "--format", "json"});
    ASSERT_EQ(run.status, kExitDone) << run.err;
    nlohmann::json rows = Json(run);
    ASSERT_EQ(rows.size(), 4u);
    int flagged30 = 0, flagged31 = 0;
    for (const nlohmann::json& row : rows) {
        flagged30 += row["ip"] == "198.51.100.30" && row["duplicate_ip"] == true;
        flagged31 += row["ip"] == "198.51.100.31" && row["duplicate_ip"] == true;
    }
    EXPECT_EQ(flagged30, 2) << "both rows of the address held by two makes";
    EXPECT_EQ(flagged31, 0) << "one camera answering both searches is not a duplicate of itself";
    EXPECT_EQ((*RowOf(rows, "endpoint", same.sample.endpoint))["mac"], MacText(testing::MacNumber(2)));
}

TEST(OnvifFind, ACameraOnTwoCardsIsARowPerCardWithTheXAddrThatCardsAnswerGave) {
    FakeHost host(testing::TwoLanHost());
    FakeOnvifDevice wired = Camera(1, "198.51.100.131", 0);
    wired.sample.xaddrs += " http://203.0.113.131:8080/onvif/device_service";
    FakeOnvifDevice wireless = wired;
    wireless.link = 1;
    wireless.source = "203.0.113.131";
    wireless.delay = 10ms; // answers after the first card's answer
    host.onvifDevices = {wired, wireless};
    nlohmann::json rows = Json(Quillctl(host, {"find", "-p", "onvif", "--format", "json"}));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["xaddr"], "http://198.51.100.131:8080/onvif/device_service");
    EXPECT_EQ(rows[1]["xaddr"], "http://203.0.113.131:8080/onvif/device_service");
    for (const nlohmann::json& row : rows) {
        EXPECT_EQ(row["in_subnet"], true) << row;
        EXPECT_EQ(row["duplicate_ip"], false);
    }
}

TEST(OnvifFind, WhatIsNotAnAnswerToThisRunIsCountedNeverPrintedAsItCame) {
    FakeHost host(testing::OneLanHost());
    FakeOnvifDevice loud = Camera(1, "198.51.100.131");
    loud.sample.scopes = "onvif://www.onvif.org/name/%1b%5b2J%07Evil";
    FakeOnvifDevice badAddress = Camera(3, "198.51.100.133");
    badAddress.sample.xaddrs = "https://198.51.100.133/ http://camera.local/ http://[fe80::1]/";
    host.onvifDevices = {loud, badAddress};
    const std::string forged = testing::ProbeMatches("urn:uuid:00000000-0000-4000-8000-000000000000",
                                                     {Camera(2, "198.51.100.132").sample});
    host.planted = {{100ms, forged}, {200ms, forged.substr(0, 300)}, {300ms, "<!DOCTYPE x>" + forged}};
    Outcome run = Quillctl(host, {"find", "-p", "onvif", "--format", "csv", "--timeout", "1"});
    ASSERT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(Lines(run.out), 2) << "the header and the one camera that told a usable address: " << run.out;
    EXPECT_NE(run.out.find("\\x1b[2J\\x07Evil"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(run.out.find("198.51.100.132"), std::string::npos) << "an answer to nobody's probe";
    EXPECT_NE(
        run.err.find("ignored 5 WS-Discovery messages: 1 not well-formed XML, 1 with a DOCTYPE, "
                     "1 answering no probe of this run, 2 without an http XAddr at a dotted IPv4 address"),
        std::string::npos)
        << run.err;
}

TEST(OnvifFind, WatchTakesHelloAndByeAsTheyCome) {
    FakeHost host(testing::OneLanHost());
    testing::SampleDevice newcomer = Camera(4, "198.51.100.134").sample;
    host.planted = {{1000ms, testing::Hello(newcomer)},
                    {1500ms, testing::Bye(newcomer.endpoint)},
                    {1600ms, testing::Bye("urn:uuid:never-seen")},
                    {2000ms, testing::Hello(newcomer)}};
    host.interruptAt = 2500ms;
    Outcome run = Quillctl(host, {"find", "-p", "onvif", "--watch", "--format", "jsonl"});
    EXPECT_EQ(run.status, kExitDone);
    EXPECT_TRUE(host.wireOptions.onvifAnnounced);
    std::istringstream lines(run.out);
    std::vector<nlohmann::json> rows;
    for (std::string line; std::getline(lines, line);)
        rows.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(rows.size(), 2u) << "it came, and came back: " << run.out;
    EXPECT_EQ(rows[0]["number"], 1);
    EXPECT_EQ(rows[1]["number"], 1) << "a device keeps its number across Bye and Hello";
    EXPECT_EQ(rows[0]["name"], "Camera 4");
    EXPECT_NE(run.err.find("quillctl: device 1 (" + newcomer.endpoint + ", 198.51.100.134) said Bye"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Lines(run.err), 1) << "a Bye of a device never seen says nothing: " << run.err;
}

TEST(OnvifPlans, ACameraLineOfAFindExportIsAChange) {
    FakeHost host(testing::OneLanHost());
    host.devices = {Device(1, "198.51.100.30")};
    host.onvifDevices = {Camera(1, "198.51.100.131")};
    // A plan exported by find --protocol all: the camera's line asks a change, named by its endpoint;
    // a camera's line without a new address asks none.
    Outcome exported = Quillctl(host, {"find", "-p", "all", "--format", "csv"});
    ASSERT_EQ(exported.status, kExitDone);
    std::istringstream in(exported.out);
    std::string path = ::testing::TempDir() + "/quillctl_onvif_plan.csv", line, plan;
    for (int n = 0; std::getline(in, line); ++n)
        plan += line +
                (n == 0                                      ? ",new_ip"
                 : line.find(",onvif,") != std::string::npos ? ",198.51.100.41"
                                                             : ",") +
                "\n";
    std::ofstream(path) << plan << ",,,,,,,,onvif,urn:uuid:2,,,,\n";
    Outcome dry = Quillctl(host, {"apply", path, "--dry-run"});
    EXPECT_EQ(dry.status, kExitDone) << dry.err;
    EXPECT_NE(dry.out.find("\nurn:uuid:5a1b0000-0000-4000-8000-000000000001  198.51.100.131  198.51.100.41\n"
                           "1 change would be sent"),
              std::string::npos)
        << dry.out;
    EXPECT_EQ(host.lan->Count(&SentDatagram::IsCommand), 0u);
}

TEST(OnvifWeb, OpensTheXAddrsHostAndPortByEndpointOrAddress) {
    FakeHost host(testing::OneLanHost());
    host.devices = {Device(1, "198.51.100.30")};
    host.onvifDevices = {Camera(1, "198.51.100.131")};
    EXPECT_EQ(Quillctl(host, {"web", "urn:uuid:5a1b0000-0000-4000-8000-000000000001"}).out,
              "http://198.51.100.131:8080/\n");
    EXPECT_EQ(host.lan->Count(&SentDatagram::IsSearch), 0u) << "an endpoint is only sought by WS-Discovery";
    EXPECT_EQ(Quillctl(host, {"web", "198.51.100.131"}).out, "http://198.51.100.131:8080/\n");
    EXPECT_EQ(Quillctl(host, {"web", "198.51.100.30"}).out, "http://198.51.100.30:80/\n");
    EXPECT_EQ(Quillctl(host, {"web", "--find-timeout", "1", "urn:uuid:gone"}).status, kExitNotFound);
}

TEST(OnvifOptions, TypesArePrefixedNamesAndNeedWsDiscovery) {
    FakeHost host(testing::OneLanHost());
    host.onvifDevices = {Camera(1, "198.51.100.131")};
    EXPECT_EQ(Quillctl(host, {"find", "--onvif-types", "wsdp:Device"}).status, kExitUsage);
    Outcome bad = Quillctl(host, {"find", "-p", "onvif", "--onvif-types", "xx:Camera"});
    EXPECT_EQ(bad.status, kExitUsage);
    EXPECT_NE(bad.err.find("dn = http://www.onvif.org/ver10/network/wsdl"), std::string::npos) << bad.err;
    EXPECT_EQ(Quillctl(host, {"find", "-p", "nonesuch"}).status, kExitUsage);
    ASSERT_EQ(Quillctl(host, {"find", "-p", "onvif", "--onvif-types", "wsdp:Device,tds:Device", "-t", "0.5"})
                  .status,
              kExitDone);
    std::string probe(host.lan->sent.at(0).bytes.begin(), host.lan->sent.at(0).bytes.end());
    EXPECT_NE(probe.find(">wsdp:Device tds:Device<"), std::string::npos) << probe;
    EXPECT_NE(probe.find("http://schemas.xmlsoap.org/ws/2006/02/devprof"), std::string::npos);
}

} // namespace
} // namespace quillctl
