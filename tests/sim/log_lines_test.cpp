#include "json_line.hpp"
#include "log_events.hpp"
#include "request_bytes.hpp"

#include <gtest/gtest.h>

namespace quillsim {
namespace {

const MacBytes kMac{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};

ReceivedDatagram from_program(std::vector<std::uint8_t> bytes) {
    return ReceivedDatagram{*parse_ipv4("198.51.100.1"), 5556, *parse_ipv4("235.5.6.7"), 10,
                            std::move(bytes)};
}

TEST(JsonLine, EscapesEveryByteThatCouldBreakTheLine) {
    EXPECT_EQ(json_escape("a\"b\\c"), "a\\\"b\\\\c");
    EXPECT_EQ(json_escape(std::string("\n\x01\x7f\xcc", 4)), "\\u000a\\u0001\\u007f\\u00cc");
    EXPECT_EQ(json_escape("10.0.0.1"), "10.0.0.1");
}

TEST(JsonLine, KeepsKeyOrderAndFormatsNumbers) {
    const std::string line = JsonLine()
                                 .seconds("t", 1700000000.1234)
                                 .text("kind", "x")
                                 .number("len", -3)
                                 .optional_number("ttl", std::nullopt)
                                 .str();
    EXPECT_EQ(line, R"({"t": 1700000000.123, "kind": "x", "len": -3, "ttl": null})");
}

TEST(LogEvents, SearchLine) {
    const auto datagram = from_program(test::search_request());
    EXPECT_EQ(received_line(12.5, datagram, classify_request(datagram.bytes)),
              R"({"t": 12.500, "kind": "search", "src": "198.51.100.1", "sport": 5556, "dst": "235.5.6.7", )"
              R"("ttl": 10, "len": 19})");
}

TEST(LogEvents, ChangeLineCarriesTargetAndAddress) {
    const auto datagram = from_program(test::change_command(kMac, "10.0.0.1"));
    const std::string line = received_line(1, datagram, classify_request(datagram.bytes));
    EXPECT_NE(line.find(R"("kind": "change")"), std::string::npos);
    EXPECT_NE(line.find(R"("len": 41, "mac": "00-1a-2b-3c-4d-5e", "ip": "10.0.0.1"})"), std::string::npos)
        << line;
}

TEST(LogEvents, OtherLineShowsTheBytesAndAMissingTtlAsNull) {
    auto datagram = from_program({0x00, 0xff, 'A'});
    datagram.ttl.reset();
    const std::string line = received_line(1, datagram, classify_request(datagram.bytes));
    EXPECT_NE(line.find(R"("kind": "other")"), std::string::npos);
    EXPECT_NE(line.find(R"("ttl": null)"), std::string::npos);
    EXPECT_NE(line.find(R"("data": "00ff41")"), std::string::npos) << line;
}

TEST(LogEvents, SentLinesTellRepliesFromRawDatagrams) {
    OutgoingDatagram reply{0,
                           {*parse_ipv4("198.51.100.1"), 5555},
                           build_reply("198.51.100.30", 80, kMac),
                           OutgoingKind::reply,
                           kMac,
                           "198.51.100.30",
                           std::nullopt};
    EXPECT_EQ(sent_line(2, reply), R"({"t": 2.000, "kind": "reply", "dst": "198.51.100.1", "dport": 5555, )"
                                   R"("len": 30, "mac": "00-1a-2b-3c-4d-5e", "ip": "198.51.100.30"})");

    OutgoingDatagram raw{
        0, {*parse_ipv4("235.5.6.7"), 5555}, {1, 2}, OutgoingKind::raw, std::nullopt, {}, std::nullopt};
    EXPECT_EQ(sent_line(2, raw),
              R"({"t": 2.000, "kind": "raw", "dst": "235.5.6.7", "dport": 5555, "len": 2})");
    EXPECT_NE(refused_line(2, raw).find(R"("kind": "refused")"), std::string::npos);
    EXPECT_NE(send_error_line(2, raw, "No route").find(R"("error": "No route"})"), std::string::npos);
}

TEST(LogEvents, OnvifLinesNameTheMessageAndTheCamera) {
    const ReceivedDatagram probe{
        *parse_ipv4("198.51.100.1"), 40000, *parse_ipv4("239.255.255.250"), 1, {1, 2, 3}};
    DiscoveryMessage message;
    message.kind = DiscoveryKind::probe;
    message.message_id = "urn:uuid:p";
    message.types = {{"http://www.onvif.org/ver10/network/wsdl", "NetworkVideoTransmitter"}};
    EXPECT_EQ(
        onvif_received_line(1, probe, OnvifReception{message, 2, {}}),
        R"({"t": 1.000, "kind": "onvif-probe", "src": "198.51.100.1", "sport": 40000, )"
        R"("dst": "239.255.255.250", "ttl": 1, "len": 3, "message_id": "urn:uuid:p", )"
        R"("types": ["{http://www.onvif.org/ver10/network/wsdl}NetworkVideoTransmitter"], "scopes": [], )"
        R"("answered": 2})");
    EXPECT_NE(onvif_received_line(1, probe, OnvifReception{}).find(R"("kind": "other", )"),
              std::string::npos);

    const OutgoingDatagram match{0,
                                 {*parse_ipv4("198.51.100.1"), 40000},
                                 {1},
                                 OutgoingKind::onvif_match,
                                 std::nullopt,
                                 "198.51.100.131",
                                 1};
    EXPECT_EQ(sent_line(2, match),
              R"({"t": 2.000, "kind": "onvif-match", "dst": "198.51.100.1", "dport": 40000, )"
              R"("len": 1, "device": 1, "ip": "198.51.100.131"})");
    EXPECT_EQ(onvif_dropped_line(2, OnvifDrop{4, {*parse_ipv4("198.51.100.1"), 40000}}),
              R"({"t": 2.000, "kind": "onvif-dropped", "device": 4, "dst": "198.51.100.1", "dport": 40000})");
}

TEST(LogEvents, ChangedLine) {
    EXPECT_EQ(changed_line(3, DeviceAddressChange{kMac, {"198.51.100.30", "10.0.0.1"}}),
              R"({"t": 3.000, "kind": "changed", "mac": "00-1a-2b-3c-4d-5e", "old": "198.51.100.30", )"
              R"("new": "10.0.0.1"})");
}

} // namespace
} // namespace quillsim
