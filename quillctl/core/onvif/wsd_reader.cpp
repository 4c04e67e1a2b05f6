#include "onvif/wsd_reader.h"

#include <string_view>

#include <pugixml.hpp>

#include "onvif/xml_reading.h"
#include "onvif/wsd_names.h"

namespace quillctl::wsd {

namespace {

using xml::Child;
using xml::Is;
using xml::TrimmedText;
using xml::Words;

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
    switch (xml::LoadForeign(document, datagram, {kMaxMessageBytes, kMaxElements, kMaxAttributes})) {
    case xml::LoadProblem::None:
        break;
    case xml::LoadProblem::TooLarge:
        return Rejected(Rejection::TooLarge);
    case xml::LoadProblem::NotWellFormed:
        return Rejected(Rejection::NotWellFormed);
    case xml::LoadProblem::Doctype:
        return Rejected(Rejection::Doctype);
    case xml::LoadProblem::TooDeep:
        return Rejected(Rejection::TooDeep);
    case xml::LoadProblem::TooManyNodes:
        return Rejected(Rejection::TooManyNodes);
    }

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
