#include "soap_call.hpp"

namespace quillsim {

namespace {

std::optional<std::string> optional_text(pugi::xml_node node) {
    if (!node) {
        return std::nullopt;
    }
    return text_of(node);
}

void read_token(pugi::xml_node header, SoapCall& call) {
    const auto security = child_element(header, onvif_ns::wsse, "Security");
    if (!security) {
        return;
    }
    call.security_header = true;
    const auto token = child_element(security, onvif_ns::wsse, "UsernameToken");
    if (!token) {
        return;
    }
    const auto password = child_element(token, onvif_ns::wsse, "Password");
    call.token = UsernameToken{text_of(child_element(token, onvif_ns::wsse, "Username")),
                               std::string(trim_blanks(password.attribute("Type").value())),
                               text_of(password), text_of(child_element(token, onvif_ns::wsse, "Nonce")),
                               text_of(child_element(token, onvif_ns::wsu, "Created"))};
}

void read_interface_change(pugi::xml_node operation, SoapCall& call) {
    InterfaceChange& change = call.interface_change;
    change.interface_token = text_of(child_element(operation, onvif_ns::tds, "InterfaceToken"));
    const auto ipv4 =
        child_element(child_element(operation, onvif_ns::tds, "NetworkInterface"), onvif_ns::tt, "IPv4");
    change.has_ipv4 = static_cast<bool>(ipv4);
    const auto manual = child_element(ipv4, onvif_ns::tt, "Manual");
    change.address = optional_text(child_element(manual, onvif_ns::tt, "Address"));
    change.prefix_length = optional_text(child_element(manual, onvif_ns::tt, "PrefixLength"));
    change.dhcp = optional_text(child_element(ipv4, onvif_ns::tt, "DHCP"));
}

} // namespace

SoapCall parse_soap_call(std::string_view body) {
    SoapCall call;
    pugi::xml_document doc;
    if (!doc.load_buffer(body.data(), body.size(), pugi::parse_default, pugi::encoding_auto)) {
        return call;
    }
    const auto envelope = doc.document_element();
    if (!is_element(envelope, onvif_ns::soap, "Envelope")) {
        return call;
    }
    const auto operation = first_child_element(child_element(envelope, onvif_ns::soap, "Body"));
    if (!operation) {
        return call;
    }
    call.envelope = true;
    call.operation = resolve_name(operation, operation.name());
    read_token(child_element(envelope, onvif_ns::soap, "Header"), call);
    if (is_element(operation, onvif_ns::tds, "SetNetworkInterfaces")) {
        read_interface_change(operation, call);
    } else if (is_element(operation, onvif_ns::tds, "SetNetworkDefaultGateway")) {
        for (pugi::xml_node node : operation.children()) {
            if (is_element(node, onvif_ns::tds, "IPv4Address")) {
                call.gateways.push_back(text_of(node));
            }
        }
    }
    return call;
}

} // namespace quillsim
