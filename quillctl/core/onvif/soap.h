#pragma once
// SOAP 1.2 as the ONVIF device service speaks it: a request envelope with an optional WS-Security
// header, and the answer read back (the body's first element, or the fault) under the rules of
// xml_reading.h.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace quillctl::onvif {

inline constexpr std::string_view kSoapEnvelope = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr std::string_view kSoap11Envelope = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr std::string_view kDeviceWsdl = "http://www.onvif.org/ver10/device/wsdl";
inline constexpr std::string_view kSchema = "http://www.onvif.org/ver10/schema";
inline constexpr std::string_view kErrors = "http://www.onvif.org/ver10/error";
inline constexpr std::string_view kSecurityExt =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
inline constexpr std::string_view kSecurityUtility =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";

// An answer is one HTTP body: the transport's limit holds it, the reader checks again.
inline constexpr size_t kMaxAnswerBytes = 1 << 20;
// A camera's answer with a few interfaces has some hundred elements; these leave room for many more.
inline constexpr size_t kMaxAnswerElements = 8192;
inline constexpr size_t kMaxAnswerAttributes = 4096;

// A request: the envelope with prefixes s (SOAP), tds (device service) and tt (schema) declared; the
// caller fills the body's one element.
class SoapRequest {
  public:
    explicit SoapRequest(std::string_view operation); // e.g. "GetDeviceInformation", in tds
    pugi::xml_node header() { return header_; }
    pugi::xml_node operation() { return operation_; }
    std::string Text() const;

  private:
    pugi::xml_document document_;
    pugi::xml_node header_;
    pugi::xml_node operation_;
};

struct SoapFault {
    std::string code;           // e.g. "Sender", the local name of the code's value
    std::string subcodes;       // the subcodes' local names, outer first, '/' between
    std::string reason;         // the first reason text, as sent (escape before printing)
    bool notAuthorized = false; // ter:NotAuthorized or wsse:FailedAuthentication anywhere in the codes
};

enum class AnswerProblem { None, TooLarge, NotWellFormed, Doctype, TooDeep, TooManyNodes, NotSoap, Fault };

struct SoapAnswer {
    AnswerProblem problem = AnswerProblem::None;
    std::optional<SoapFault> fault; // when problem is Fault
    // The document stays alive with the answer; `content` is the body's first element.
    std::shared_ptr<pugi::xml_document> document;
    pugi::xml_node content;
};

// SOAP 1.1 answers are read too: some cameras keep to it for faults.
SoapAnswer ReadSoapAnswer(std::span<const uint8_t> bytes);

// "not well-formed XML", for messages.
const char* AnswerProblemText(AnswerProblem problem);

} // namespace quillctl::onvif
