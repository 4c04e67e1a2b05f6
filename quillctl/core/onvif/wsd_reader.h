#pragma once
// Reading what WS-Discovery devices send: ProbeMatches and ResolveMatches (answers to our requests),
// Hello and Bye (announcements). Whatever arrives is someone else's XML: it is parsed by a real XML
// parser under the rules of onvif/xml_reading.h.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillctl::wsd {

// A WS-Discovery message fits one UDP datagram; anything longer arrived cut.
inline constexpr size_t kMaxMessageBytes = 65507;
// A device's answer has a dozen elements and a few attributes; names are looked up through the
// attributes of every enclosing element, so both are bounded to keep one message's cost small.
inline constexpr size_t kMaxElements = 512;
inline constexpr size_t kMaxAttributes = 256;

enum class MessageKind { ProbeMatches, ResolveMatches, Hello, Bye };

// One device as a message describes it. The texts are as sent (decoded from XML, nothing else): escape
// them before printing.
struct Announcement {
    std::string endpoint; // the EndpointReference's Address, e.g. urn:uuid:...
    std::vector<std::string> types;
    std::vector<std::string> scopes;
    std::vector<std::string> xaddrs;
};

struct Message {
    MessageKind kind = MessageKind::ProbeMatches;
    std::string messageId;
    std::string relatesTo; // empty in announcements
    std::vector<Announcement> devices;
};

// Why a datagram was not taken: the run counts each reason and reports the counts at its end.
enum class Rejection {
    TooLarge,
    NotWellFormed,
    Doctype,
    TooDeep,
    NotDiscovery, // well-formed, but not a WS-Discovery 2005/04 message we read
    NoEndpoint,   // a device without an EndpointReference address
    UnknownRelatesTo,
    NoUsableXAddr, // only non-http XAddrs, host names or addresses that are not dotted IPv4
    TooManyNodes,  // more elements or attributes than kMaxElements or kMaxAttributes
    ResolveLimit,  // a device without its address beyond the Resolves allowed in a round
};
inline constexpr size_t kRejectionCount = 10;

// "not well-formed XML", for the summary.
const char* RejectionText(Rejection rejection);

struct ReadResult {
    std::optional<Message> message;
    Rejection rejection = Rejection::NotDiscovery; // when there is no message
};

// `truncated`: the datagram was longer than what could be read of it.
ReadResult ReadMessage(std::span<const uint8_t> datagram, bool truncated = false);

} // namespace quillctl::wsd
