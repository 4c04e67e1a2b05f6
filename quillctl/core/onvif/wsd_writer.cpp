#include "onvif/wsd_writer.h"

#include <cstdio>
#include <sstream>

#include <pugixml.hpp>

namespace quillctl::wsd {

namespace {

// The envelope with the addressing header every request carries; returns the Body to fill.
pugi::xml_node Envelope(pugi::xml_document& document, const std::string& messageId, std::string_view action) {
    pugi::xml_node envelope = document.append_child("s:Envelope");
    envelope.append_attribute("xmlns:s") = std::string(kSoap12).c_str();
    envelope.append_attribute("xmlns:a") = std::string(kAddressing).c_str();
    envelope.append_attribute("xmlns:d") = std::string(kDiscovery).c_str();
    pugi::xml_node header = envelope.append_child("s:Header");
    header.append_child("a:Action").text() = std::string(action).c_str();
    header.append_child("a:MessageID").text() = messageId.c_str();
    header.append_child("a:To").text() = std::string(kDiscoveryTo).c_str();
    return envelope.append_child("s:Body");
}

std::string Serialize(const pugi::xml_document& document) {
    std::ostringstream out;
    document.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return out.str();
}

} // namespace

std::string NewMessageId(std::mt19937_64& random) {
    uint64_t high = random(), low = random();
    high = (high & ~0xf000ULL) | 0x4000ULL;           // version 4
    low = (low & ~(0xc0ULL << 56)) | (0x80ULL << 56); // RFC 4122 variant
    char text[64];
    std::snprintf(text, sizeof(text), "urn:uuid:%08llx-%04llx-%04llx-%04llx-%012llx",
                  static_cast<unsigned long long>(high >> 32),
                  static_cast<unsigned long long>((high >> 16) & 0xffff),
                  static_cast<unsigned long long>(high & 0xffff), static_cast<unsigned long long>(low >> 48),
                  static_cast<unsigned long long>(low & 0xffffffffffffULL));
    return text;
}

std::string BuildProbe(const std::string& messageId, const std::vector<TypeName>& types) {
    pugi::xml_document document;
    pugi::xml_node probe = Envelope(document, messageId, kActionProbe).append_child("d:Probe");
    // Each type keeps the prefix it is known by: some devices compare the written name, not only its
    // namespace.
    std::string list;
    pugi::xml_node typesNode = probe.append_child("d:Types");
    for (const TypeName& type : types) {
        std::string declaration = "xmlns:" + type.prefix;
        if (!typesNode.attribute(declaration.c_str()))
            typesNode.append_attribute(declaration.c_str()) = type.namespaceUri.c_str();
        list += (list.empty() ? "" : " ") + type.prefix + ":" + type.localName;
    }
    typesNode.text() = list.c_str();
    return Serialize(document);
}

std::string BuildResolve(const std::string& messageId, const std::string& endpoint) {
    pugi::xml_document document;
    pugi::xml_node resolve = Envelope(document, messageId, kActionResolve).append_child("d:Resolve");
    resolve.append_child("a:EndpointReference").append_child("a:Address").text() = endpoint.c_str();
    return Serialize(document);
}

} // namespace quillctl::wsd
