#pragma once
// The names WS-Discovery (the 2005/04 version that cameras speak) is written in: namespaces, actions
// and the type prefixes a user may write on the command line.
#include <optional>
#include <string>
#include <string_view>

namespace quillctl::wsd {

inline constexpr std::string_view kSoap12 = "http://www.w3.org/2003/05/soap-envelope";
// Some devices still answer in SOAP 1.1; the body reads the same.
inline constexpr std::string_view kSoap11 = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr std::string_view kAddressing = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
inline constexpr std::string_view kDiscovery = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
inline constexpr std::string_view kDiscoveryTo = "urn:schemas-xmlsoap-org:ws:2005:04:discovery";
inline constexpr std::string_view kAnonymous =
    "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous";
inline constexpr std::string_view kActionProbe = "http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe";
inline constexpr std::string_view kActionResolve = "http://schemas.xmlsoap.org/ws/2005/04/discovery/Resolve";

// A type as prefix:name, with the namespace the prefix stands for.
struct TypeName {
    std::string prefix;
    std::string namespaceUri;
    std::string localName;
};

// The prefixes quillctl knows: dn (network video transmitters), tds (ONVIF devices), wsdp (the devices
// profile), pub (computers that publish themselves). nullopt for anything else or a malformed name.
std::optional<TypeName> ParseTypeName(std::string_view text);

// The prefixes and their namespaces, for --help and the README.
std::string KnownPrefixesText();

} // namespace quillctl::wsd
