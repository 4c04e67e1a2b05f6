#pragma once
// What an ONVIF device's announcement says in the terms of a device list: its address and port (from
// the XAddr), its name and hardware (from the scopes), its MAC where a scope gives one.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/device_list.h"
#include "net/ipv4.h"
#include "net/links.h"
#include "net/mac_argument.h"
#include "onvif/wsd_reader.h"

namespace quillctl {

// An http:// URL whose host is a dotted IPv4 address (the same strict rule as device addresses), with an
// optional port 1 to 65535. Anything else (https, a host name, IPv6, user info) is nullopt.
std::optional<HttpXAddr> ParseHttpXAddr(std::string_view xaddr);

// The XAddr to use on a link: the first usable one inside the link's subnet, else the first usable one.
std::optional<HttpXAddr> ChooseXAddr(const std::vector<std::string>& xaddrs, const Subnet& subnet);

// The value of the scope onvif://www.onvif.org/<category>/<value>, percent-decoded (a malformed escape
// is kept as it is); empty when no scope has that category.
std::string ScopeValue(const std::vector<std::string>& scopes, std::string_view category);

std::optional<Mac> ScopeMac(const std::vector<std::string>& scopes);

std::string PercentDecode(std::string_view text);

// ASCII letters compared without regard to case (schemes, scope roots, "urn:").
bool StartsWithNoCase(std::string_view text, std::string_view lowerCasePrefix);

// An endpoint reference as WS-Discovery devices name themselves ("urn:uuid:..."), not a MAC or address.
inline bool LooksLikeEndpoint(std::string_view text) { return StartsWithNoCase(text, "urn:"); }

} // namespace quillctl
