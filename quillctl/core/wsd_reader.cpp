#include "wsd_reader.h"

#include <string_view>

#include <pugixml.hpp>

#include "wsd_names.h"

namespace quillctl::wsd {

namespace {

std::string_view LocalName(const pugi::xml_node& node) {
    std::string_view name = node.name();
    size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The namespace a prefix stands for where `node` is: the nearest declaration outward. An empty prefix
// is the default namespace.
std::string_view NamespaceOfPrefix(pugi::xml_node node, std::string_view prefix) {
    std::string attribute = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
    for (; node; node = node.parent())
        if (pugi::xml_attribute declared = node.attribute(attribute.c_str()))
            return declared.value();
    return {};
}

std::string_view NamespaceOf(const pugi::xml_node& node) {
    std::string_view name = node.name();
    size_t colon = name.find(':');
    return NamespaceOfPrefix(node,
                             colon == std::string_view::npos ? std::string_view() : name.substr(0, colon));
}

bool Is(const pugi::xml_node& node, std::string_view ns, std::string_view local) {
    return node.type() == pugi::node_element && LocalName(node) == local && NamespaceOf(node) == ns;
}

pugi::xml_node Child(const pugi::xml_node& parent, std::string_view ns, std::string_view local) {
    for (pugi::xml_node child : parent.children())
        if (Is(child, ns, local))
            return child;
    return {};
}

// Element text with the blanks around it gone (values are often pretty-printed).
std::string TrimmedText(const pugi::xml_node& node) {
    std::string_view text = node.child_value();
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos)
        return {};
    size_t end = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(begin, end - begin + 1));
}

// A list of URIs or names separated by XML white space.
std::vector<std::string> Words(const pugi::xml_node& node) {
    std::vector<std::string> words;
    std::string_view text = node.child_value();
    size_t at = 0;
    while (at < text.size()) {
        size_t begin = text.find_first_not_of(" \t\r\n", at);
        if (begin == std::string_view::npos)
            break;
        size_t end = text.find_first_of(" \t\r\n", begin);
        if (end == std::string_view::npos)
            end = text.size();
        words.emplace_back(text.substr(begin, end - begin));
        at = end;
    }
    return words;
}

// Deeper, or with more elements or attributes, than the bounds anywhere in the document: walked
// without recursion, so the walk itself cannot run out of stack on a hostile document.
std::optional<Rejection> BeyondBounds(const pugi::xml_document& document) {
    int depth = 0;
    size_t elements = 0, attributes = 0;
    pugi::xml_node node = document.first_child();
    while (node) {
        if (depth > kMaxDepth)
            return Rejection::TooDeep;
        if (node.type() == pugi::node_element) {
            ++elements;
            for (pugi::xml_attribute attribute = node.first_attribute();
                 attribute && attributes <= kMaxAttributes; attribute = attribute.next_attribute())
                ++attributes;
            if (elements > kMaxElements || attributes > kMaxAttributes)
                return Rejection::TooManyNodes;
        }
        if (node.first_child()) {
            node = node.first_child();
            ++depth;
            continue;
        }
        while (node && !node.next_sibling()) {
            node = node.parent();
            --depth;
        }
        if (node)
            node = node.next_sibling();
    }
    return std::nullopt;
}

std::optional<Announcement> ReadDevice(const pugi::xml_node& element) {
    Announcement device;
    pugi::xml_node reference = Child(element, kAddressing, "EndpointReference");
    device.endpoint = TrimmedText(Child(reference, kAddressing, "Address"));
    if (device.endpoint.empty())
        return std::nullopt;
    device.types = Words(Child(element, kDiscovery, "Types"));
    device.scopes = Words(Child(element, kDiscovery, "Scopes"));
    device.xaddrs = Words(Child(element, kDiscovery, "XAddrs"));
    return device;
}

struct BodyShape {
    const char* element;
    const char* item; // the repeated child, or nullptr when the element is the device itself
    MessageKind kind;
};

constexpr BodyShape kShapes[] = {
    {"ProbeMatches", "ProbeMatch", MessageKind::ProbeMatches},
    {"ResolveMatches", "ResolveMatch", MessageKind::ResolveMatches},
    {"Hello", nullptr, MessageKind::Hello},
    {"Bye", nullptr, MessageKind::Bye},
};

ReadResult Rejected(Rejection rejection) {
    ReadResult result;
    result.rejection = rejection;
    return result;
}

} // namespace

const char* RejectionText(Rejection rejection) {
    switch (rejection) {
    case Rejection::TooLarge:
        return "larger than one datagram";
    case Rejection::NotWellFormed:
        return "not well-formed XML";
    case Rejection::Doctype:
        return "with a DOCTYPE";
    case Rejection::TooDeep:
        return "nested too deep";
    case Rejection::NotDiscovery:
        return "not a WS-Discovery answer";
    case Rejection::NoEndpoint:
        return "without an endpoint";
    case Rejection::UnknownRelatesTo:
        return "answering no probe of this run";
    case Rejection::NoUsableXAddr:
        return "without an http XAddr at a dotted IPv4 address";
    case Rejection::TooManyNodes:
        return "with too many elements or attributes";
    case Rejection::ResolveLimit:
        return "without an address, beyond this round's Resolves";
    }
    return "unknown";
}

ReadResult ReadMessage(std::span<const uint8_t> datagram, bool truncated) {
    if (truncated || datagram.size() > kMaxMessageBytes)
        return Rejected(Rejection::TooLarge);
    pugi::xml_document document;
    // The DOCTYPE is kept as a node so that it can be refused; entities are never expanded (the parser
    // knows only the predefined ones and character references).
    const unsigned options = pugi::parse_default | pugi::parse_doctype;
    pugi::xml_parse_result parsed =
        document.load_buffer(datagram.data(), datagram.size(), options, pugi::encoding_utf8);
    if (!parsed)
        return Rejected(Rejection::NotWellFormed);
    for (pugi::xml_node node : document.children())
        if (node.type() == pugi::node_doctype)
            return Rejected(Rejection::Doctype);
    if (std::optional<Rejection> beyond = BeyondBounds(document))
        return Rejected(*beyond);

    pugi::xml_node envelope = document.document_element();
    bool soap12 = Is(envelope, kSoap12, "Envelope");
    if (!soap12 && !Is(envelope, kSoap11, "Envelope"))
        return Rejected(Rejection::NotDiscovery);
    std::string_view soap = soap12 ? kSoap12 : kSoap11;
    pugi::xml_node header = Child(envelope, soap, "Header");
    pugi::xml_node body = Child(envelope, soap, "Body");

    Message message;
    message.messageId = TrimmedText(Child(header, kAddressing, "MessageID"));
    message.relatesTo = TrimmedText(Child(header, kAddressing, "RelatesTo"));
    for (const BodyShape& shape : kShapes) {
        pugi::xml_node element = Child(body, kDiscovery, shape.element);
        if (!element)
            continue;
        message.kind = shape.kind;
        if (shape.item == nullptr) {
            std::optional<Announcement> device = ReadDevice(element);
            if (!device)
                return Rejected(Rejection::NoEndpoint);
            message.devices.push_back(std::move(*device));
        } else {
            for (pugi::xml_node item : element.children())
                if (Is(item, kDiscovery, shape.item))
                    if (std::optional<Announcement> device = ReadDevice(item))
                        message.devices.push_back(std::move(*device));
            // An empty ProbeMatches is a valid "none of mine match"; matches without an address are not.
            if (message.devices.empty() && element.find_child([](pugi::xml_node) { return true; }))
                return Rejected(Rejection::NoEndpoint);
        }
        ReadResult result;
        result.message = std::move(message);
        return result;
    }
    return Rejected(Rejection::NotDiscovery);
}

} // namespace quillctl::wsd
