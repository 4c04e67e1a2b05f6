#pragma once
// Addresses no device can take: refused for set-ip, in plans and when allocating.
#include <string>

#include "net/ipv4.h"
#include "net/links.h"

namespace quillctl {

// Why `address` cannot be given to a device, or an empty text when it can. Without a link only the
// classes that are wrong anywhere are checked (0.0.0.0/8, 127.0.0.0/8, 224.0.0.0 and above); with
// one, also the link's subnet address and broadcast address.
std::string RefusalOf(Ipv4 address, const Link* link);

} // namespace quillctl
