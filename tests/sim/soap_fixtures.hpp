#pragma once

// WS-Discovery datagrams as clients put them on the wire, written out by hand so the simulator's own
// builders are not tested against themselves; and a namespace-aware reader for what the simulator sends.

#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quillsim::test {

inline constexpr char kSoap[] = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr char kWsa[] = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
inline constexpr char kWsd[] = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
inline constexpr char kDn[] = "http://www.onvif.org/ver10/network/wsdl";
inline constexpr char kTds[] = "http://www.onvif.org/ver10/device/wsdl";

inline std::vector<std::uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

// A Probe in the shape of a common client's: default-namespace envelope, dn declared on it and the
// addressing prefix declared on each header element. probe_body is what goes inside <Probe>.
inline std::vector<std::uint8_t> probe(const std::string& probe_body,
                                       const std::string& message_id = "urn:uuid:p-1",
                                       const std::string& extra_namespaces = "") {
    return bytes(
        R"(<?xml version="1.0" encoding="UTF-8"?>)"
        R"(<Envelope xmlns="http://www.w3.org/2003/05/soap-envelope" )"
        R"(xmlns:dn="http://www.onvif.org/ver10/network/wsdl" )" +
        extra_namespaces +
        R"(><Header><wsa:MessageID xmlns:wsa="http://schemas.xmlsoap.org/ws/2004/08/addressing">)" +
        message_id +
        R"(</wsa:MessageID><wsa:Action xmlns:wsa="http://schemas.xmlsoap.org/ws/2004/08/addressing">)"
        R"(http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</wsa:Action></Header>)"
        R"(<Body><Probe xmlns="http://schemas.xmlsoap.org/ws/2005/04/discovery">)" +
        probe_body + "</Probe></Body></Envelope>");
}

inline std::vector<std::uint8_t> resolve(const std::string& endpoint, const std::string& message_id) {
    return bytes(
        R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" )"
        R"(xmlns:a="http://schemas.xmlsoap.org/ws/2004/08/addressing" )"
        R"(xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery"><s:Header>)"
        R"(<a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/Resolve</a:Action><a:MessageID>)" +
        message_id + R"(</a:MessageID></s:Header><s:Body><d:Resolve><a:EndpointReference><a:Address>)" +
        endpoint + "</a:Address></a:EndpointReference></d:Resolve></s:Body></s:Envelope>");
}

// {namespace URI, local name}
using Step = std::pair<const char*, const char*>;
using Path = std::vector<Step>;

inline Path operator+(Path path, Step step) {
    path.push_back(step);
    return path;
}

// A received message, read by namespace URI and local name whatever prefixes it uses.
class SoapReader {
  public:
    explicit SoapReader(const std::vector<std::uint8_t>& datagram) {
        parsed_ = doc_.load_buffer(datagram.data(), datagram.size());
    }
    bool parsed() const { return static_cast<bool>(parsed_); }

    // The element at the path of {namespace, local name} steps from the document; empty if missing.
    pugi::xml_node at(const Path& steps) const {
        std::string path;
        for (const auto& [uri, local] : steps) {
            path += std::string("/*[local-name()='") + local + "' and namespace-uri()='" + uri + "']";
        }
        return doc_.select_node(path.c_str()).node();
    }
    std::string text(const Path& steps) const { return at(steps).text().get(); }

  private:
    pugi::xml_document doc_;
    pugi::xml_parse_result parsed_;
};

} // namespace quillsim::test
