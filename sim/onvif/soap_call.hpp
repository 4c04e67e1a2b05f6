#pragma once

#include "camera_auth.hpp"
#include "xml_names.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillsim {

namespace onvif_ns {
inline constexpr std::string_view soap = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr std::string_view tds = "http://www.onvif.org/ver10/device/wsdl";
inline constexpr std::string_view trt = "http://www.onvif.org/ver10/media/wsdl";
inline constexpr std::string_view tt = "http://www.onvif.org/ver10/schema";
inline constexpr std::string_view ter = "http://www.onvif.org/ver10/error";
inline constexpr std::string_view wsse =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
inline constexpr std::string_view wsu =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";
} // namespace onvif_ns

// SetNetworkInterfaces' IPv4 part, as written (checked by the camera, not here).
struct InterfaceChange {
    std::string interface_token;
    bool has_ipv4 = false;
    std::optional<std::string> address;
    std::optional<std::string> prefix_length;
    std::optional<std::string> dhcp;
};

// One call to the device or media service: the body's first element and what the camera reads of it.
struct SoapCall {
    bool envelope = false;   // a SOAP 1.2 envelope with a body that holds an element
    QualifiedName operation; // e.g. {device wsdl}GetDeviceInformation
    bool security_header = false;
    std::optional<UsernameToken> token;
    InterfaceChange interface_change;  // SetNetworkInterfaces
    std::vector<std::string> gateways; // SetNetworkDefaultGateway's IPv4Address values
};

// Nothing-throwing; a DOCTYPE is skipped and no entity but XML's own expanded.
SoapCall parse_soap_call(std::string_view body);

} // namespace quillsim
