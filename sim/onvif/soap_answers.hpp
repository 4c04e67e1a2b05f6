#pragma once

#include "camera_facts.hpp"

#include <cstddef>
#include <string>
#include <string_view>

namespace quillsim {

// The SOAP 1.2 envelopes the cameras answer with, written with pugixml so every text is escaped.

// code: "Sender" or "Receiver"; subcode a ter: name such as "NotAuthorized".
std::string soap_fault(std::string_view code, std::string_view subcode, std::string_view reason);

std::string date_and_time_answer(double camera_seconds); // UTC, whole seconds
std::string device_information_answer(const CameraFacts& facts);
std::string network_interfaces_answer(const CameraFacts& facts, const CameraNetwork& network);
std::string default_gateway_answer(const CameraNetwork& network);
std::string set_interfaces_answer(bool reboot_needed);
std::string set_gateway_answer();
std::string reboot_answer(std::string_view message);
std::string capabilities_answer(std::string_view device_xaddr, std::string_view media_xaddr);
std::string profiles_answer();
std::string stream_uri_answer(std::string_view uri);

// The answer grown past `size` bytes by a comment before its end: still well-formed, only too big.
std::string padded_answer(std::string answer, std::size_t size);

} // namespace quillsim
