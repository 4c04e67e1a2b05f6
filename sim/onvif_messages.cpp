#include "onvif_messages.hpp"

#include "onvif/xml_names.hpp"

#include <pugixml.hpp>

#include <array>
#include <utility>

namespace quillsim {

namespace {

constexpr std::string_view kStrcmp0 = "http://schemas.xmlsoap.org/ws/2005/04/discovery/strcmp0";
constexpr std::string_view kWhitespace = " \t\r\n";

std::vector<std::string> split_words(std::string_view text) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while ((at = text.find_first_not_of(kWhitespace, at)) != std::string_view::npos) {
        const auto end = std::min(text.find_first_of(kWhitespace, at), text.size());
        words.emplace_back(text.substr(at, end - at));
        at = end;
    }
    return words;
}

void read_probe(pugi::xml_node probe, DiscoveryMessage& message) {
    message.kind = DiscoveryKind::probe;
    // QNames in the Types list are resolved where they are written, so a sender's own prefixes count.
    if (const auto types = child_element(probe, ns::wsd, "Types")) {
        for (const auto& word : split_words(types.text().get())) {
            message.types.push_back(resolve_name(types, word));
        }
    }
    if (const auto scopes = child_element(probe, ns::wsd, "Scopes")) {
        message.scopes = split_words(scopes.text().get());
        if (std::string_view(scopes.attribute("MatchBy").value()) == kStrcmp0) {
            message.scope_rule = ScopeRule::exact;
        }
    }
}

void read_resolve(pugi::xml_node resolve_node, DiscoveryMessage& message) {
    message.kind = DiscoveryKind::resolve;
    message.resolve_endpoint =
        text_of(child_element(child_element(resolve_node, ns::wsa, "EndpointReference"), ns::wsa, "Address"));
}

// The prefixes our own messages declare once on the envelope.
constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kOwnPrefixes{{
    {"soap", ns::soap},
    {"wsa", ns::wsa},
    {"wsd", ns::wsd},
    {"dn", ns::dn},
    {"tds", ns::tds},
}};

std::string written_name(const QualifiedName& name) {
    for (const auto& [prefix, uri] : kOwnPrefixes) {
        if (uri == name.uri) {
            return std::string(prefix) + ":" + name.local;
        }
    }
    return name.local;
}

std::string join(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& word : words) {
        out += (out.empty() ? "" : " ") + word;
    }
    return out;
}

// The envelope with its header; returns the body to fill.
pugi::xml_node start_envelope(pugi::xml_document& doc, const MessageHeader& header, std::string_view action) {
    auto declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    auto envelope = doc.append_child("soap:Envelope");
    for (const auto& [prefix, uri] : kOwnPrefixes) {
        envelope.append_attribute(("xmlns:" + std::string(prefix)).c_str()) = std::string(uri).c_str();
    }
    auto head = envelope.append_child("soap:Header");
    add_text_child(head, "wsa:MessageID", header.message_id);
    if (header.relates_to) {
        add_text_child(head, "wsa:RelatesTo", *header.relates_to);
    }
    add_text_child(head, "wsa:To", header.to);
    add_text_child(head, "wsa:Action", std::string(ns::wsd) + "/" + std::string(action));
    auto sequence = head.append_child("wsd:AppSequence");
    sequence.append_attribute("InstanceId") = static_cast<unsigned long long>(header.instance_id);
    sequence.append_attribute("MessageNumber") = static_cast<unsigned long long>(header.message_number);
    return envelope.append_child("soap:Body");
}

void add_endpoint(pugi::xml_node parent, std::string_view endpoint) {
    add_text_child(parent.append_child("wsa:EndpointReference"), "wsa:Address", endpoint);
}

void describe(pugi::xml_node parent, const CameraDescription& camera) {
    add_endpoint(parent, camera.endpoint);
    std::vector<std::string> types;
    for (const auto& type : camera.types) {
        types.push_back(written_name(type));
    }
    add_text_child(parent, "wsd:Types", join(types));
    add_text_child(parent, "wsd:Scopes", join(camera.scopes));
    if (camera.xaddrs) {
        add_text_child(parent, "wsd:XAddrs", *camera.xaddrs);
    }
    add_text_child(parent, "wsd:MetadataVersion", std::to_string(camera.metadata_version));
}

std::vector<std::uint8_t> bytes_of(const pugi::xml_document& doc) {
    const std::string text = document_text(doc);
    return {text.begin(), text.end()};
}

// A message whose body holds `outer` (if any) around `inner`, which describes the camera.
std::vector<std::uint8_t> build_description(const MessageHeader& header, std::string_view action,
                                            const char* outer, const char* inner,
                                            const CameraDescription& camera) {
    pugi::xml_document doc;
    auto body = start_envelope(doc, header, action);
    auto parent = outer ? body.append_child(outer) : body;
    describe(parent.append_child(inner), camera);
    return bytes_of(doc);
}

} // namespace

std::string clark_name(const QualifiedName& name) { return "{" + name.uri + "}" + name.local; }

DiscoveryMessage parse_discovery_message(std::span<const std::uint8_t> datagram) {
    DiscoveryMessage message;
    pugi::xml_document doc;
    // No DOCTYPE is kept and no entity but XML's own is expanded, so a hostile datagram cannot make the
    // document grow.
    if (!doc.load_buffer(datagram.data(), datagram.size(), pugi::parse_default, pugi::encoding_auto)) {
        return message;
    }
    const auto envelope = doc.document_element();
    if (!is_element(envelope, ns::soap, "Envelope")) {
        return message;
    }
    const auto body = child_element(envelope, ns::soap, "Body");
    const auto payload = first_child_element(body);
    if (is_element(payload, ns::wsd, "Probe")) {
        read_probe(payload, message);
    } else if (is_element(payload, ns::wsd, "Resolve")) {
        read_resolve(payload, message);
    } else {
        return message;
    }
    message.message_id =
        text_of(child_element(child_element(envelope, ns::soap, "Header"), ns::wsa, "MessageID"));
    return message;
}

std::vector<std::uint8_t> build_probe_match(const MessageHeader& header, const CameraDescription& camera) {
    return build_description(header, "ProbeMatches", "wsd:ProbeMatches", "wsd:ProbeMatch", camera);
}

std::vector<std::uint8_t> build_resolve_match(const MessageHeader& header, const CameraDescription& camera) {
    return build_description(header, "ResolveMatches", "wsd:ResolveMatches", "wsd:ResolveMatch", camera);
}

std::vector<std::uint8_t> build_hello(const MessageHeader& header, const CameraDescription& camera) {
    return build_description(header, "Hello", nullptr, "wsd:Hello", camera);
}

std::vector<std::uint8_t> build_bye(const MessageHeader& header, std::string_view endpoint) {
    pugi::xml_document doc;
    add_endpoint(start_envelope(doc, header, "Bye").append_child("wsd:Bye"), endpoint);
    return bytes_of(doc);
}

} // namespace quillsim
