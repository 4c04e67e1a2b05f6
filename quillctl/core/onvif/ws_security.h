#pragma once
// WS-Security's UsernameToken with a PasswordDigest, as ONVIF cameras expect it: the password never
// travels, only Base64(SHA-1(nonce + created + password)), with a fresh nonce for every request and
// the time read off the camera's own clock.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "onvif/crypto.h"

namespace quillctl::onvif {

struct UsernameToken {
    std::string user;
    std::string passwordDigest; // Base64
    std::string nonce;          // Base64 of the raw nonce
    std::string created;        // UTC, e.g. 2026-12-10T04:50:00Z
};

// "2026-12-10T04:50:00Z", whole seconds.
std::string UtcText(std::chrono::system_clock::time_point time);

UsernameToken MakeUsernameToken(Crypto& crypto, const std::string& user, const std::string& password,
                                const std::vector<uint8_t>& nonce,
                                std::chrono::system_clock::time_point created);

// Adds the Security header (mustUnderstand) with the token to a SOAP header.
void AddSecurityHeader(pugi::xml_node header, const UsernameToken& token);

} // namespace quillctl::onvif
