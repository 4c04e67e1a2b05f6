#include "onvif/soap.h"

#include <sstream>

#include "onvif/xml_reading.h"

namespace quillctl::onvif {

namespace {

// A QName's local name, and whether its prefix stands for `ns` where the text is.
bool QNameIs(pugi::xml_node where, std::string_view qname, std::string_view ns, std::string_view local) {
    size_t colon = qname.find(':');
    std::string_view prefix = colon == std::string_view::npos ? std::string_view() : qname.substr(0, colon);
    std::string_view name = colon == std::string_view::npos ? qname : qname.substr(colon + 1);
    return name == local && xml::NamespaceOfPrefix(where, prefix) == ns;
}

std::string LocalOf(std::string_view qname) {
    size_t colon = qname.find(':');
    return std::string(colon == std::string_view::npos ? qname : qname.substr(colon + 1));
}

bool IsAuthCode(pugi::xml_node where, std::string_view qname) {
    return QNameIs(where, qname, kErrors, "NotAuthorized") ||
           QNameIs(where, qname, kSecurityExt, "FailedAuthentication") ||
           QNameIs(where, qname, kSecurityExt, "InvalidSecurityToken");
}

SoapFault ReadFault12(pugi::xml_node fault) {
    SoapFault read;
    pugi::xml_node code = xml::Child(fault, kSoapEnvelope, "Code");
    pugi::xml_node value = xml::Child(code, kSoapEnvelope, "Value");
    std::string text = xml::TrimmedText(value);
    read.code = LocalOf(text);
    read.notAuthorized = IsAuthCode(value, text);
    // Subcodes nest; the walk is bounded by the document's depth bound.
    for (pugi::xml_node sub = xml::Child(code, kSoapEnvelope, "Subcode"); sub;
         sub = xml::Child(sub, kSoapEnvelope, "Subcode")) {
        pugi::xml_node subValue = xml::Child(sub, kSoapEnvelope, "Value");
        std::string subText = xml::TrimmedText(subValue);
        read.subcodes += (read.subcodes.empty() ? "" : "/") + LocalOf(subText);
        read.notAuthorized = read.notAuthorized || IsAuthCode(subValue, subText);
    }
    read.reason =
        xml::TrimmedText(xml::Child(xml::Child(fault, kSoapEnvelope, "Reason"), kSoapEnvelope, "Text"));
    return read;
}

SoapFault ReadFault11(pugi::xml_node fault) {
    SoapFault read;
    pugi::xml_node code = fault.child("faultcode"); // unqualified in SOAP 1.1
    std::string text = xml::TrimmedText(code);
    read.code = LocalOf(text);
    read.notAuthorized = IsAuthCode(code, text);
    read.reason = xml::TrimmedText(fault.child("faultstring"));
    return read;
}

SoapAnswer Problem(AnswerProblem problem) {
    SoapAnswer answer;
    answer.problem = problem;
    return answer;
}

} // namespace

SoapRequest::SoapRequest(std::string_view operation) {
    pugi::xml_node envelope = document_.append_child("s:Envelope");
    envelope.append_attribute("xmlns:s") = std::string(kSoapEnvelope).c_str();
    envelope.append_attribute("xmlns:tds") = std::string(kDeviceWsdl).c_str();
    envelope.append_attribute("xmlns:tt") = std::string(kSchema).c_str();
    header_ = envelope.append_child("s:Header");
    operation_ = envelope.append_child("s:Body").append_child(("tds:" + std::string(operation)).c_str());
}

std::string SoapRequest::Text() const {
    std::ostringstream out;
    document_.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return out.str();
}

SoapAnswer ReadSoapAnswer(std::span<const uint8_t> bytes) {
    auto document = std::make_shared<pugi::xml_document>();
    switch (xml::LoadForeign(*document, bytes, {kMaxAnswerBytes, kMaxAnswerElements, kMaxAnswerAttributes})) {
    case xml::LoadProblem::None:
        break;
    case xml::LoadProblem::TooLarge:
        return Problem(AnswerProblem::TooLarge);
    case xml::LoadProblem::NotWellFormed:
        return Problem(AnswerProblem::NotWellFormed);
    case xml::LoadProblem::Doctype:
        return Problem(AnswerProblem::Doctype);
    case xml::LoadProblem::TooDeep:
        return Problem(AnswerProblem::TooDeep);
    case xml::LoadProblem::TooManyNodes:
        return Problem(AnswerProblem::TooManyNodes);
    }
    pugi::xml_node envelope = document->document_element();
    const bool soap12 = xml::Is(envelope, kSoapEnvelope, "Envelope");
    if (!soap12 && !xml::Is(envelope, kSoap11Envelope, "Envelope"))
        return Problem(AnswerProblem::NotSoap);
    std::string_view soap = soap12 ? kSoapEnvelope : kSoap11Envelope;
    pugi::xml_node body = xml::Child(envelope, soap, "Body");
    pugi::xml_node content =
        body.find_child([](pugi::xml_node node) { return node.type() == pugi::node_element; });
    if (!content)
        return Problem(AnswerProblem::NotSoap);
    SoapAnswer answer;
    if (xml::Is(content, soap, "Fault")) {
        answer.problem = AnswerProblem::Fault;
        answer.fault = soap12 ? ReadFault12(content) : ReadFault11(content);
        return answer;
    }
    answer.document = std::move(document);
    answer.content = content;
    return answer;
}

const char* AnswerProblemText(AnswerProblem problem) {
    switch (problem) {
    case AnswerProblem::None:
        return "an answer";
    case AnswerProblem::TooLarge:
        return "an answer over 1 MiB";
    case AnswerProblem::NotWellFormed:
        return "an answer that is not well-formed XML";
    case AnswerProblem::Doctype:
        return "an answer with a DOCTYPE";
    case AnswerProblem::TooDeep:
        return "an answer nested too deep";
    case AnswerProblem::TooManyNodes:
        return "an answer with too many elements or attributes";
    case AnswerProblem::NotSoap:
        return "an answer that is not a SOAP envelope with a body";
    case AnswerProblem::Fault:
        return "a SOAP fault";
    }
    return "an unknown answer";
}

} // namespace quillctl::onvif
