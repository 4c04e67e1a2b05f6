#pragma once

#include "base/ipv4_address.hpp"
#include "onvif/xml_names.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillsim {

// WS-Discovery as ONVIF cameras speak it: SOAP 1.2 envelopes over UDP, with the 2004/08 addressing and the
// 2005/04 discovery namespaces. Everything is matched by namespace URI; the prefixes a sender picks carry
// no meaning.
inline constexpr Ipv4 kWsDiscoveryGroup{0xEFFFFFFA}; // 239.255.255.250
inline constexpr std::uint16_t kWsDiscoveryPort = 3702;

namespace ns {
inline constexpr std::string_view soap = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr std::string_view wsa = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
inline constexpr std::string_view wsd = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
inline constexpr std::string_view dn = "http://www.onvif.org/ver10/network/wsdl";
inline constexpr std::string_view tds = "http://www.onvif.org/ver10/device/wsdl";
} // namespace ns

// "{uri}local", the way the log writes a type.
std::string clark_name(const QualifiedName& name);

enum class DiscoveryKind { probe, resolve, other };

enum class ScopeRule {
    prefix, // the default (RFC 3986) rule, read as: whole path segments from the start
    exact,  // strcmp0
};

struct DiscoveryMessage {
    DiscoveryKind kind = DiscoveryKind::other;
    std::string message_id;
    std::vector<QualifiedName> types; // probe: empty means any type
    std::vector<std::string> scopes;  // probe: empty means any scope
    ScopeRule scope_rule = ScopeRule::prefix;
    std::string resolve_endpoint; // resolve: the endpoint address asked for
};

// Nothing-throwing: any datagram that is not a well-formed SOAP envelope carrying a Probe or a Resolve in
// its body comes back as kind other.
DiscoveryMessage parse_discovery_message(std::span<const std::uint8_t> datagram);

// What a camera says about itself in ProbeMatch, ResolveMatch and Hello.
struct CameraDescription {
    std::string endpoint; // "urn:uuid:..."
    std::vector<QualifiedName> types;
    std::vector<std::string> scopes;
    std::optional<std::string> xaddrs; // nothing: left out, the client must Resolve
    int metadata_version = 1;
};

// The header fields that differ between messages; AppSequence is the sender's instance and message count.
struct MessageHeader {
    std::string message_id;
    std::optional<std::string> relates_to;
    std::string to;
    std::uint64_t instance_id = 0;
    std::uint64_t message_number = 0;
};

inline constexpr std::string_view kAnonymousTo =
    "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous";
inline constexpr std::string_view kDiscoveryTo = "urn:schemas-xmlsoap-org:ws:2005:04:discovery";

std::vector<std::uint8_t> build_probe_match(const MessageHeader& header, const CameraDescription& camera);
std::vector<std::uint8_t> build_resolve_match(const MessageHeader& header, const CameraDescription& camera);
std::vector<std::uint8_t> build_hello(const MessageHeader& header, const CameraDescription& camera);
std::vector<std::uint8_t> build_bye(const MessageHeader& header, std::string_view endpoint);

} // namespace quillsim
