#include "onvif_messages.hpp"
#include "soap_fixtures.hpp"

#include <gtest/gtest.h>

namespace quillsim {
namespace {

using test::operator+;

using test::kDn;
using test::kSoap;
using test::kTds;
using test::kWsa;
using test::kWsd;

TEST(DiscoveryParsing, ProbeTypesAreResolvedWhereTheyAreWritten) {
    const auto message = parse_discovery_message(test::probe(
        R"(<Types xmlns:cam="http://www.onvif.org/ver10/device/wsdl">dn:NetworkVideoTransmitter  cam:Device
           other:Thing</Types><Scopes MatchBy="http://schemas.xmlsoap.org/ws/2005/04/discovery/strcmp0">
           onvif://www.onvif.org/location/lab</Scopes>)",
        " urn:uuid:p-7 "));
    ASSERT_EQ(message.kind, DiscoveryKind::probe);
    EXPECT_EQ(message.message_id, "urn:uuid:p-7");
    ASSERT_EQ(message.types.size(), 3u);
    EXPECT_EQ(message.types[0], (QualifiedName{kDn, "NetworkVideoTransmitter"}));
    // Another prefix for the device namespace names the same type; an unbound one names nothing.
    EXPECT_EQ(message.types[1], (QualifiedName{kTds, "Device"}));
    EXPECT_EQ(message.types[2], (QualifiedName{"", "other:Thing"}));
    EXPECT_EQ(message.scopes, std::vector<std::string>{"onvif://www.onvif.org/location/lab"});
    EXPECT_EQ(message.scope_rule, ScopeRule::exact);
}

TEST(DiscoveryParsing, TheFamiliarPrefixBoundToAnotherUriIsAnotherType) {
    const auto message = parse_discovery_message(
        test::probe(R"(<Types xmlns:dn="http://example.org/not-onvif">dn:NetworkVideoTransmitter</Types>)"));
    ASSERT_EQ(message.types.size(), 1u);
    EXPECT_EQ(message.types[0], (QualifiedName{"http://example.org/not-onvif", "NetworkVideoTransmitter"}));
}

TEST(DiscoveryParsing, ResolveNamesItsEndpoint) {
    const auto message =
        parse_discovery_message(test::resolve(" urn:uuid:5a1b0000-0000-4000-8000-000000000003\n", "r-1"));
    ASSERT_EQ(message.kind, DiscoveryKind::resolve);
    EXPECT_EQ(message.resolve_endpoint, "urn:uuid:5a1b0000-0000-4000-8000-000000000003");
    EXPECT_EQ(message.message_id, "r-1");
}

TEST(DiscoveryParsing, AnythingElseIsOtherAndNeverThrows) {
    std::string deep;
    for (int i = 0; i < 20000; ++i) {
        deep += "<a>";
    }
    const std::vector<std::string> inputs{
        "",
        "PV_SearchNetDevice",
        "<Envelope><Body><Probe/></Body></Envelope>", // no namespaces: not SOAP 1.2
        // SOAP 1.1's envelope namespace
        R"(<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body>)"
        R"(<d:Probe xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery"/></s:Body></s:Envelope>)",
        // a Probe of the wrong discovery version
        R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope"><s:Body>)"
        R"(<d:Probe xmlns:d="http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01"/></s:Body></s:Envelope>)",
        // a ProbeMatches heard from another camera
        R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope"><s:Body>)"
        R"(<d:ProbeMatches xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery"/></s:Body></s:Envelope>)",
        // cut short
        R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope"><s:Body><d:Probe xmlns:d="ht)",
        // entities that would grow without bound if expanded
        R"(<!DOCTYPE s [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">]>)"
        R"(<s>&b;&b;&b;</s>)",
        deep,
        std::string("\xff\xfe<\0x", 5),
    };
    for (const auto& input : inputs) {
        EXPECT_EQ(parse_discovery_message(test::bytes(input)).kind, DiscoveryKind::other)
            << input.substr(0, 80);
    }
}

CameraDescription camera(std::optional<std::string> xaddrs) {
    return CameraDescription{
        "urn:uuid:5a1b0000-0000-4000-8000-000000000002",
        {{kDn, "NetworkVideoTransmitter"}, {kTds, "Device"}},
        {"onvif://www.onvif.org/name/Sim%20Camera%202", "onvif://www.onvif.org/location/lab"},
        std::move(xaddrs),
        1};
}

const test::Path kHeader{{kSoap, "Envelope"}, {kSoap, "Header"}};
const test::Path kBody{{kSoap, "Envelope"}, {kSoap, "Body"}};
const test::Step kAddress{kWsa, "Address"};
const test::Step kEndpointReference{kWsa, "EndpointReference"};

TEST(DiscoveryBuilding, ProbeMatchReadsBackWithEveryField) {
    const MessageHeader header{"urn:uuid:m-1", "urn:uuid:probe-<&>", std::string(kAnonymousTo), 1700000000,
                               4};
    const test::SoapReader reply(
        build_probe_match(header, camera("http://198.51.100.132:80/onvif/device_service")));
    ASSERT_TRUE(reply.parsed());
    EXPECT_EQ(reply.text(kHeader + test::Step{kWsa, "RelatesTo"}), "urn:uuid:probe-<&>");
    EXPECT_EQ(reply.text(kHeader + test::Step{kWsa, "MessageID"}), "urn:uuid:m-1");
    EXPECT_EQ(reply.text(kHeader + test::Step{kWsa, "To"}), kAnonymousTo);
    EXPECT_EQ(reply.text(kHeader + test::Step{kWsa, "Action"}),
              "http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches");
    const auto sequence = reply.at(kHeader + test::Step{kWsd, "AppSequence"});
    EXPECT_STREQ(sequence.attribute("InstanceId").value(), "1700000000");
    EXPECT_STREQ(sequence.attribute("MessageNumber").value(), "4");

    const test::Path match = kBody + test::Step{kWsd, "ProbeMatches"} + test::Step{kWsd, "ProbeMatch"};
    EXPECT_EQ(reply.text(match + kEndpointReference + kAddress),
              "urn:uuid:5a1b0000-0000-4000-8000-000000000002");
    EXPECT_EQ(reply.text(match + test::Step{kWsd, "XAddrs"}),
              "http://198.51.100.132:80/onvif/device_service");
    EXPECT_EQ(reply.text(match + test::Step{kWsd, "Scopes"}),
              "onvif://www.onvif.org/name/Sim%20Camera%202 onvif://www.onvif.org/location/lab");
    EXPECT_EQ(reply.text(match + test::Step{kWsd, "MetadataVersion"}), "1");
    // The Types are QNames: their prefixes must be declared in the reply, bound to the ONVIF namespaces.
    const auto types = reply.at(match + test::Step{kWsd, "Types"});
    EXPECT_EQ(std::string(types.text().get()), "dn:NetworkVideoTransmitter tds:Device");
    const auto envelope = reply.at({{kSoap, "Envelope"}});
    EXPECT_STREQ(envelope.attribute("xmlns:dn").value(), kDn);
    EXPECT_STREQ(envelope.attribute("xmlns:tds").value(), kTds);
}

TEST(DiscoveryBuilding, HelloWithoutXAddrsAndByeWithTheEndpointOnly) {
    const MessageHeader header{"urn:uuid:m-2", std::nullopt, std::string(kDiscoveryTo), 7, 1};
    const test::SoapReader hello(build_hello(header, camera(std::nullopt)));
    EXPECT_EQ(hello.text(kHeader + test::Step{kWsa, "Action"}),
              "http://schemas.xmlsoap.org/ws/2005/04/discovery/Hello");
    EXPECT_EQ(hello.text(kHeader + test::Step{kWsa, "To"}), kDiscoveryTo);
    EXPECT_FALSE(hello.at(kHeader + test::Step{kWsa, "RelatesTo"}));
    EXPECT_TRUE(hello.at(kBody + test::Step{kWsd, "Hello"} + test::Step{kWsd, "Scopes"}));
    EXPECT_FALSE(hello.at(kBody + test::Step{kWsd, "Hello"} + test::Step{kWsd, "XAddrs"}));

    const test::SoapReader bye(build_bye(header, "urn:uuid:x"));
    EXPECT_EQ(bye.text(kHeader + test::Step{kWsa, "Action"}),
              "http://schemas.xmlsoap.org/ws/2005/04/discovery/Bye");
    EXPECT_EQ(bye.text(kBody + test::Step{kWsd, "Bye"} + kEndpointReference + kAddress), "urn:uuid:x");
    EXPECT_FALSE(bye.at(kBody + test::Step{kWsd, "Bye"} + test::Step{kWsd, "Types"}));
}

TEST(DiscoveryBuilding, OurOwnMessagesAreNotMistakenForRequests) {
    const MessageHeader header{"urn:uuid:m-3", std::nullopt, std::string(kDiscoveryTo), 7, 1};
    EXPECT_EQ(parse_discovery_message(build_hello(header, camera("http://x/"))).kind, DiscoveryKind::other);
}

} // namespace
} // namespace quillsim
