// Reading WS-Discovery: what devices of other makes send, and what a hostile sender might.
#include <gtest/gtest.h>

#include <random>

#include "onvif/onvif_facts.h"
#include "onvif/wsd_reader.h"
#include "wsd_samples.h"
#include "onvif/wsd_writer.h"

namespace quillctl {
namespace {

using testing::Bytes;
using testing::ProbeMatches;
using testing::SampleDevice;
using wsd::MessageKind;
using wsd::ReadMessage;
using wsd::Rejection;

const std::string kProbeId = "urn:uuid:11111111-2222-4333-8444-555555555555";

wsd::ReadResult Read(const std::string& text) { return ReadMessage(Bytes(text)); }

TEST(WsdReader, ReadsEveryKindWhateverPrefixesTheSenderChose) {
    SampleDevice first, second;
    second.endpoint = "urn:uuid:5a1b0000-0000-4000-8000-000000000002";
    second.xaddrs = "http://[fe80::1]/onvif http://198.51.100.132:8080/onvif/device_service";
    wsd::ReadResult read = Read(ProbeMatches(kProbeId, {first, second}));
    ASSERT_TRUE(read.message);
    EXPECT_EQ(read.message->kind, MessageKind::ProbeMatches);
    EXPECT_EQ(read.message->relatesTo, kProbeId);
    ASSERT_EQ(read.message->devices.size(), 2u);
    EXPECT_EQ(read.message->devices[0].endpoint, first.endpoint);
    EXPECT_EQ(read.message->devices[1].xaddrs.size(), 2u);
    EXPECT_EQ(read.message->devices[0].scopes.size(), 2u);

    EXPECT_EQ(Read(ProbeMatches(kProbeId, {first}, true)).message->kind, MessageKind::ResolveMatches);
    EXPECT_EQ(Read(testing::Hello(first)).message->kind, MessageKind::Hello);
    wsd::ReadResult bye = Read(testing::Bye(first.endpoint));
    ASSERT_TRUE(bye.message);
    EXPECT_EQ(bye.message->devices.at(0).endpoint, first.endpoint);

    // Same document, other prefixes and a default namespace: names count by namespace only.
    std::string renamed = "<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\">"
                          "<e:Header><RelatesTo xmlns=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\">" +
                          kProbeId +
                          "</RelatesTo></e:Header><e:Body>"
                          "<x:ProbeMatches xmlns:x=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\" "
                          "xmlns:y=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\"><x:ProbeMatch>"
                          "<y:EndpointReference><y:Address> urn:uuid:1 </y:Address></y:EndpointReference>"
                          "<x:XAddrs>http://198.51.100.9/</x:XAddrs></x:ProbeMatch></x:ProbeMatches></e:Body>"
                          "</e:Envelope>";
    read = Read(renamed);
    ASSERT_TRUE(read.message);
    EXPECT_EQ(read.message->relatesTo, kProbeId);
    EXPECT_EQ(read.message->devices.at(0).endpoint, "urn:uuid:1");

    // The right local names in the wrong namespace are not WS-Discovery.
    std::string wrong = renamed;
    wrong.replace(wrong.find("ws/2005/04/discovery"), 20, "ws/2099/99/elsewhere");
    EXPECT_EQ(Read(wrong).rejection, Rejection::NotDiscovery);
}

TEST(WsdReader, HostileOrBrokenDatagramsAreRefusedWithTheirReason) {
    const std::string good = ProbeMatches(kProbeId, {SampleDevice{}});
    EXPECT_EQ(Read(good.substr(0, good.size() / 2)).rejection, Rejection::NotWellFormed);
    EXPECT_EQ(Read("").rejection, Rejection::NotWellFormed);
    EXPECT_EQ(Read("PV_SearchNetDevice").rejection, Rejection::NotWellFormed);

    // An entity declared in a DOCTYPE is never expanded: the DOCTYPE itself is refused.
    std::string entities = "<?xml version=\"1.0\"?><!DOCTYPE lol [<!ENTITY a \"aaaaaaaaaa\">"
                           "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>" +
                           good.substr(good.find("<SOAP-ENV:Envelope"));
    EXPECT_EQ(Read(entities).rejection, Rejection::Doctype);

    std::string deep;
    for (int i = 0; i < 40; ++i)
        deep += "<a>";
    for (int i = 0; i < 40; ++i)
        deep += "</a>";
    EXPECT_EQ(Read(deep).rejection, Rejection::TooDeep);
    // As deep as one datagram allows: refused without a recursive walk running out of stack.
    std::string abyss;
    for (int i = 0; i < 9000; ++i)
        abyss += "<a>";
    for (int i = 0; i < 9000; ++i)
        abyss += "</a>";
    EXPECT_EQ(Read(abyss).rejection, Rejection::TooDeep);
    // Flat but crowded: each name is looked up through the attributes around it.
    std::string crowded = good;
    std::string attributes;
    for (size_t i = 0; i <= wsd::kMaxAttributes; ++i)
        attributes += " a" + std::to_string(i) + "=\"\"";
    crowded.insert(crowded.find('>', crowded.find("<SOAP-ENV:Envelope")), attributes);
    EXPECT_EQ(Read(crowded).rejection, Rejection::TooManyNodes);
    std::string decoys = good;
    std::string elements;
    for (size_t i = 0; i <= wsd::kMaxElements; ++i)
        elements += "<x/>";
    decoys.insert(decoys.find("<SOAP-ENV:Body>") + 15, elements);
    EXPECT_EQ(Read(decoys).rejection, Rejection::TooManyNodes);
    EXPECT_EQ(Read(std::string(wsd::kMaxMessageBytes + 1, ' ')).rejection, Rejection::TooLarge);

    EXPECT_EQ(ReadMessage(Bytes(good), true).rejection, Rejection::TooLarge);
    SampleDevice anonymous;
    anonymous.endpoint = "";
    EXPECT_EQ(Read(ProbeMatches(kProbeId, {anonymous})).rejection, Rejection::NoEndpoint);
    EXPECT_EQ(Read(testing::Bye("")).rejection, Rejection::NoEndpoint);
}

TEST(OnvifFacts, OnlyHttpAtADottedAddressIsAnXAddr) {
    auto xaddr = ParseHttpXAddr("http://198.51.100.131:8080/onvif/device_service");
    ASSERT_TRUE(xaddr);
    EXPECT_EQ(FormatIpv4(xaddr->host), "198.51.100.131");
    EXPECT_EQ(xaddr->port, 8080);
    EXPECT_EQ(ParseHttpXAddr("HTTP://198.51.100.131")->port, 80);
    for (const char* bad :
         {"https://198.51.100.131/", "http://camera.local/onvif", "http://[fe80::1]/",
          "http://198.51.100.131:0/", "http://198.51.100.131:65536/", "http://198.51.100.131:80x/",
          "http://user@198.51.100.131/", "http://198.051.100.131/", "ftp://198.51.100.131/",
          "http://198.51.100.131:/", ""})
        EXPECT_FALSE(ParseHttpXAddr(bad)) << bad;

    // On a link, the address in its subnet is the one to use.
    Subnet lan{*ParseIpv4("203.0.113.1"), 24};
    auto chosen = ChooseXAddr({"https://203.0.113.5/", "http://198.51.100.5/", "http://203.0.113.5/"}, lan);
    EXPECT_EQ(chosen->text, "http://203.0.113.5/");
    EXPECT_EQ(ChooseXAddr({"http://198.51.100.5/"}, lan)->text, "http://198.51.100.5/");
    EXPECT_FALSE(ChooseXAddr({"http://cam/"}, lan));
}

TEST(OnvifFacts, ScopesAreDecodedAndAMacScopeIsRead) {
    std::vector<std::string> scopes = {
        "onvif://www.onvif.org/type/video_encoder", "onvif://www.onvif.org/name/Lobby%20Camera%2",
        "ONVIF://www.onvif.org/Hardware/QS%2d100", "onvif://www.onvif.org/MAC/00:1A:2B:3C:4D:5E"};
    EXPECT_EQ(ScopeValue(scopes, "name"), "Lobby Camera%2");
    EXPECT_EQ(ScopeValue(scopes, "hardware"), "QS-100");
    EXPECT_EQ(ScopeValue(scopes, "location"), "");
    EXPECT_EQ(ScopeMac(scopes), ParseMacArgument("00-1a-2b-3c-4d-5e"));
    EXPECT_EQ(ScopeMac({"onvif://www.onvif.org/mac/001a2b3c4d5e"}), ParseMacArgument("00-1a-2b-3c-4d-5e"));
    EXPECT_FALSE(ScopeMac({"onvif://www.onvif.org/mac/zz"}));
    EXPECT_EQ(PercentDecode("%41%zz%4"), "A%zz%4");
}

TEST(WsdWriter, RequestsAreWellFormedAndCarryAFreshId) {
    std::mt19937_64 random(7);
    std::string first = wsd::NewMessageId(random), second = wsd::NewMessageId(random);
    EXPECT_NE(first, second);
    ASSERT_EQ(first.size(), 45u);
    EXPECT_EQ(first.substr(0, 9), "urn:uuid:");
    EXPECT_EQ(first[23], '4'); // version 4

    std::string probe = wsd::BuildProbe(
        first, {*wsd::ParseTypeName("dn:NetworkVideoTransmitter"), *wsd::ParseTypeName("wsdp:Device")});
    EXPECT_NE(probe.find("xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\""), std::string::npos);
    EXPECT_NE(probe.find(">dn:NetworkVideoTransmitter wsdp:Device<"), std::string::npos);
    EXPECT_NE(probe.find(first), std::string::npos);
    // An endpoint from the network is escaped, never spliced into the markup.
    std::string resolve = wsd::BuildResolve(second, "urn:x</a:Address><evil/>&");
    EXPECT_NE(resolve.find("urn:x&lt;/a:Address&gt;&lt;evil/&gt;&amp;"), std::string::npos);

    EXPECT_FALSE(wsd::ParseTypeName("xx:Device"));
    EXPECT_FALSE(wsd::ParseTypeName("dn:"));
    EXPECT_FALSE(wsd::ParseTypeName("dn:Net Video"));
    EXPECT_FALSE(wsd::ParseTypeName("NetworkVideoTransmitter"));
}

} // namespace
} // namespace quillctl
