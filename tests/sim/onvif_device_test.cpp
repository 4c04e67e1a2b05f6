#include "onvif_device.hpp"
#include "soap_fixtures.hpp"
#include "queue_drain.hpp"

#include <gtest/gtest.h>

#include <set>

namespace quillsim {
namespace {

using test::drain;

using test::operator+;

const Ipv4 kClient = *parse_ipv4("198.51.100.1");
constexpr std::uint16_t kClientPort = 40123;
const test::Path kHeader{{test::kSoap, "Envelope"}, {test::kSoap, "Header"}};
const test::Path kProbeMatch{{test::kSoap, "Envelope"},
                             {test::kSoap, "Body"},
                             {test::kWsd, "ProbeMatches"},
                             {test::kWsd, "ProbeMatch"}};

OnvifConfig config(std::size_t cameras) {
    OnvifConfig c;
    c.device_count = cameras;
    c.ip_base = *parse_ipv4("198.51.100.130");
    c.seed = 7;
    c.instance_id = 1700000000;
    return c;
}

ReceivedDatagram from_client(std::vector<std::uint8_t> bytes) {
    return ReceivedDatagram{kClient, kClientPort, kWsDiscoveryGroup, 1, std::move(bytes)};
}

// Which cameras of a fleet of three answer the probe with this body.
std::set<std::size_t> answering(const std::string& probe_body, const std::string& namespaces = "") {
    OnvifFleet fleet(config(3));
    OutgoingQueue queue;
    fleet.on_datagram(from_client(test::probe(probe_body, "urn:uuid:p", namespaces)), 0, queue);
    std::set<std::size_t> cameras;
    for (const auto& datagram : drain(queue, 0)) {
        cameras.insert(*datagram.camera);
    }
    return cameras;
}

TEST(OnvifProbe, TypesDecideByNamespaceNotByPrefix) {
    const std::set<std::size_t> all{0, 1, 2};
    EXPECT_EQ(answering(""), all);
    EXPECT_EQ(answering("<Types/><Scopes/>"), all);
    EXPECT_EQ(answering("<Types>dn:NetworkVideoTransmitter</Types>"), all);
    EXPECT_EQ(answering("<Types xmlns:t=\"http://www.onvif.org/ver10/device/wsdl\">t:Device</Types>"), all);
    EXPECT_EQ(answering("<Types>x:Device dn:NetworkVideoTransmitter</Types>",
                        "xmlns:x=\"http://schemas.xmlsoap.org/ws/2006/02/devprof\""),
              all);
    // A printer's type, the right local name in another namespace, and the usual prefix bound elsewhere.
    EXPECT_EQ(
        answering("<Types xmlns:wsdp=\"http://schemas.xmlsoap.org/ws/2006/02/devprof\">wsdp:Device</Types>"),
        std::set<std::size_t>{});
    EXPECT_EQ(answering("<Types>dn:Device</Types>"), std::set<std::size_t>{});
    EXPECT_EQ(answering("<Types xmlns:dn=\"http://example.org/x\">dn:NetworkVideoTransmitter</Types>"),
              std::set<std::size_t>{});
    EXPECT_EQ(answering("<Types>unbound:NetworkVideoTransmitter</Types>"), std::set<std::size_t>{});
}

TEST(OnvifProbe, EveryRequestedScopeMustStartOneOfTheCamerasOnWholeSegments) {
    EXPECT_EQ(answering("<Scopes>onvif://www.onvif.org/name/Sim%20Camera%201</Scopes>"),
              std::set<std::size_t>{1});
    EXPECT_EQ(answering("<Scopes>onvif://www.onvif.org/type onvif://www.onvif.org/hardware/QS-2</Scopes>"),
              std::set<std::size_t>{2});
    EXPECT_EQ(answering("<Scopes>onvif://www.onvif.org/location/</Scopes>").size(), 3u);
    EXPECT_EQ(answering("<Scopes>onvif://www.onvif.org/typ</Scopes>"), std::set<std::size_t>{});
    EXPECT_EQ(
        answering("<Scopes>onvif://www.onvif.org/location/lab onvif://www.onvif.org/name/Nobody</Scopes>"),
        std::set<std::size_t>{});
    EXPECT_EQ(answering("<Scopes MatchBy=\"http://schemas.xmlsoap.org/ws/2005/04/discovery/strcmp0\">"
                        "onvif://www.onvif.org/location</Scopes>"),
              std::set<std::size_t>{});
}

TEST(OnvifFleet, EachCameraAnswersAProbeOnItsOwnToTheSendersPort) {
    auto c = config(2);
    c.delay_ms = 100;
    OnvifFleet fleet(c);
    OutgoingQueue queue;
    const auto reception = fleet.on_datagram(
        from_client(test::probe("<Types>dn:NetworkVideoTransmitter</Types>", "urn:uuid:p-9")), 1000, queue);
    EXPECT_EQ(reception.answered, 2u);
    EXPECT_TRUE(drain(queue, 1099).empty());
    const auto sent = drain(queue, 1100);
    ASSERT_EQ(sent.size(), 2u);
    std::set<std::string> message_ids;
    for (std::size_t k = 0; k < sent.size(); ++k) {
        EXPECT_EQ(sent[k].to, (Destination{kClient, kClientPort}));
        EXPECT_EQ(sent[k].kind, OutgoingKind::onvif_match);
        const test::SoapReader reply(sent[k].bytes);
        EXPECT_EQ(reply.text(kHeader + test::Step{test::kWsa, "RelatesTo"}), "urn:uuid:p-9");
        message_ids.insert(reply.text(kHeader + test::Step{test::kWsa, "MessageID"}));
        EXPECT_EQ(reply.text(kProbeMatch + test::Step{test::kWsa, "EndpointReference"} +
                             test::Step{test::kWsa, "Address"}),
                  onvif_endpoint(*parse_ipv4("198.51.100.13" + std::to_string(k)), k));
        EXPECT_EQ(reply.text(kProbeMatch + test::Step{test::kWsd, "XAddrs"}),
                  "http://198.51.100.13" + std::to_string(k) + ":80/onvif/device_service");
        EXPECT_NE(reply.text(kProbeMatch + test::Step{test::kWsd, "Scopes"})
                      .find("onvif://www.onvif.org/name/Sim%20Camera%20" + std::to_string(k)),
                  std::string::npos);
    }
    EXPECT_EQ(message_ids.size(), 2u);
    EXPECT_EQ(message_ids.count(""), 0u);
}

TEST(OnvifFleet, MessageNumbersCountEachCamerasMessagesFromItsHello) {
    OnvifFleet fleet(config(1));
    const auto hellos = fleet.hellos(0);
    ASSERT_EQ(hellos.size(), 1u);
    EXPECT_EQ(hellos[0].to, (Destination{kWsDiscoveryGroup, kWsDiscoveryPort}));
    OutgoingQueue queue;
    fleet.on_datagram(from_client(test::probe("")), 0, queue);
    const auto sent = drain(queue, 0);
    ASSERT_EQ(sent.size(), 1u);
    const auto number = [](const OutgoingDatagram& d) {
        return std::string(test::SoapReader(d.bytes)
                               .at(kHeader + test::Step{test::kWsd, "AppSequence"})
                               .attribute("MessageNumber")
                               .value());
    };
    EXPECT_EQ(number(hellos[0]), "1");
    EXPECT_EQ(number(sent[0]), "2");
    EXPECT_EQ(number(fleet.byes(0)[0]), "3");
}

TEST(OnvifFleet, DropFirstLosesOnlyEachCamerasFirstMatch) {
    auto c = config(2);
    c.drop_first = true;
    OnvifFleet fleet(c);
    OutgoingQueue queue;
    const auto first = fleet.on_datagram(from_client(test::probe("")), 0, queue);
    EXPECT_EQ(first.dropped.size(), 2u);
    EXPECT_EQ(first.dropped[1].device, 1u);
    EXPECT_EQ(first.dropped[1].to, (Destination{kClient, kClientPort}));
    EXPECT_TRUE(drain(queue, 0).empty());
    const auto second = fleet.on_datagram(from_client(test::probe("")), 0, queue);
    EXPECT_TRUE(second.dropped.empty());
    EXPECT_EQ(drain(queue, 0).size(), 2u);
}

TEST(OnvifFleet, WithoutXAddrsOnlyAResolveTellsWhereTheCameraIs) {
    auto c = config(3);
    c.no_xaddrs = true;
    OnvifFleet fleet(c);
    OutgoingQueue queue;
    fleet.on_datagram(from_client(test::probe("")), 0, queue);
    for (const auto& match : drain(queue, 0)) {
        EXPECT_FALSE(test::SoapReader(match.bytes).at(kProbeMatch + test::Step{test::kWsd, "XAddrs"}));
    }
    const auto reception = fleet.on_datagram(
        from_client(test::resolve(onvif_endpoint(*parse_ipv4("198.51.100.132"), 2), "urn:uuid:r-1")), 0,
        queue);
    EXPECT_EQ(reception.answered, 1u);
    const auto sent = drain(queue, 0);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].kind, OutgoingKind::onvif_resolve_match);
    EXPECT_EQ(sent[0].to, (Destination{kClient, kClientPort}));
    const test::SoapReader reply(sent[0].bytes);
    EXPECT_EQ(reply.text(kHeader + test::Step{test::kWsa, "RelatesTo"}), "urn:uuid:r-1");
    const test::Path match{{test::kSoap, "Envelope"},
                           {test::kSoap, "Body"},
                           {test::kWsd, "ResolveMatches"},
                           {test::kWsd, "ResolveMatch"}};
    EXPECT_EQ(reply.text(match + test::Step{test::kWsd, "XAddrs"}),
              "http://198.51.100.132:80/onvif/device_service");

    fleet.on_datagram(from_client(test::resolve(onvif_endpoint(*parse_ipv4("198.51.100.133"), 3), "r-2")), 0,
                      queue);
    EXPECT_TRUE(drain(queue, 0).empty());
}

TEST(OnvifFleet, CraftedRepliesCarryTheProbesMessageId) {
    auto c = config(0);
    c.templates = {test::bytes("<a>{{RelatesTo}}</a><b>{{RelatesTo}}{{Relates</b>"), test::bytes("plain")};
    OnvifFleet fleet(c);
    OutgoingQueue queue;
    fleet.on_datagram(from_client(test::probe("<Types>x:Other</Types>", "urn:uuid:a&amp;b")), 0, queue);
    const auto sent = drain(queue, 0);
    ASSERT_EQ(sent.size(), 2u);
    // Sent in answer to any Probe, whatever it asks for; the id goes in as XML text again.
    EXPECT_EQ(sent[0].bytes, test::bytes("<a>urn:uuid:a&amp;b</a><b>urn:uuid:a&amp;b{{Relates</b>"));
    EXPECT_EQ(sent[0].to, (Destination{kClient, kClientPort}));
    EXPECT_EQ(sent[0].kind, OutgoingKind::onvif_raw);
    EXPECT_EQ(sent[1].bytes, test::bytes("plain"));
}

TEST(OnvifFleet, AnythingButProbeOrResolveGetsNoAnswer) {
    OnvifFleet fleet(config(2));
    OutgoingQueue queue;
    for (const auto& input : {"", "PV_SearchNetDevice", "<not-closed", "<x/>"}) {
        const auto reception = fleet.on_datagram(from_client(test::bytes(input)), 0, queue);
        EXPECT_EQ(reception.message.kind, DiscoveryKind::other);
        EXPECT_EQ(reception.answered, 0u);
    }
    fleet.on_datagram(from_client(fleet.hellos(0)[0].bytes), 0, queue);
    EXPECT_TRUE(queue.empty());
}

} // namespace
} // namespace quillsim
