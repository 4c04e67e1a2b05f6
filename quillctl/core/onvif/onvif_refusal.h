#pragma once
// quillctl changes addresses only with our own unauthenticated command. A WS-Discovery device's address
// is changed through its own interface, behind its password: quillctl sends it nothing and says so.
#include <string>
#include <string_view>

#include "onvif/onvif_facts.h"

namespace quillctl {

// `who` is already escaped for printing.
inline std::string OnvifChangeRefusal(const std::string& who) {
    return who +
           " is a WS-Discovery (ONVIF) device: its address can only be changed through the device's "
           "own authenticated interface (its web page, or an ONVIF client with its password); nothing sent";
}

// An endpoint reference as WS-Discovery devices name themselves ("urn:uuid:..."), not a MAC or address.
inline bool LooksLikeEndpoint(std::string_view text) { return StartsWithNoCase(text, "urn:"); }

} // namespace quillctl
