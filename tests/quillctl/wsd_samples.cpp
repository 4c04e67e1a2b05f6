#include "wsd_samples.h"

namespace quillctl::testing {

namespace {

// Prefixes as one maker writes them; the reader must go by the namespaces alone.
std::string Envelope(const std::string& action, const std::string& relatesTo, const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\" "
           "xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
           "xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\" "
           "xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\" "
           "xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\">"
           "<SOAP-ENV:Header>"
           "<wsa:MessageID>urn:uuid:0f0e0d0c-0000-4000-8000-000000000001</wsa:MessageID>" +
           (relatesTo.empty() ? "" : "<wsa:RelatesTo>" + relatesTo + "</wsa:RelatesTo>") +
           "<wsa:To>http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous</wsa:To>"
           "<wsa:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/" +
           action +
           "</wsa:Action>"
           "</SOAP-ENV:Header><SOAP-ENV:Body>" +
           body + "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

std::string DeviceParts(const SampleDevice& device) {
    std::string parts =
        "<wsa:EndpointReference><wsa:Address>" + device.endpoint + "</wsa:Address></wsa:EndpointReference>";
    parts += "<d:Types>" + device.types + "</d:Types>";
    parts += "<d:Scopes>" + device.scopes + "</d:Scopes>";
    if (!device.xaddrs.empty())
        parts += "<d:XAddrs>" + device.xaddrs + "</d:XAddrs>";
    return parts + "<d:MetadataVersion>1</d:MetadataVersion>";
}

} // namespace

std::string ProbeMatches(const std::string& relatesTo, const std::vector<SampleDevice>& devices,
                         bool resolve) {
    const std::string outer = resolve ? "ResolveMatches" : "ProbeMatches";
    const std::string inner = resolve ? "ResolveMatch" : "ProbeMatch";
    std::string body = "<d:" + outer + ">";
    for (const SampleDevice& device : devices)
        body += "<d:" + inner + ">" + DeviceParts(device) + "</d:" + inner + ">";
    return Envelope(outer, relatesTo, body + "</d:" + outer + ">");
}

std::string Hello(const SampleDevice& device) {
    return Envelope("Hello", "", "<d:Hello>" + DeviceParts(device) + "</d:Hello>");
}

std::string Bye(const std::string& endpoint) {
    return Envelope("Bye", "",
                    "<d:Bye><wsa:EndpointReference><wsa:Address>" + endpoint +
                        "</wsa:Address></wsa:EndpointReference></d:Bye>");
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

} // namespace quillctl::testing
