#include "plan/address_rules.h"

namespace quillctl {

std::string RefusalOf(Ipv4 address, const Link* link) {
    const std::string text = FormatIpv4(address);
    const uint32_t first = address.value >> 24;
    if (first == 0)
        return text + " is in 0.0.0.0/8, which no device can take";
    if (first == 127)
        return text + " is a loopback address";
    if (first >= 224)
        return text + " is a multicast or reserved address";
    if (link != nullptr && link->subnet.HasNetworkAndBroadcast() && link->subnet.Contains(address)) {
        const std::string on = " of the subnet of " + FormatIpv4(link->Address()) + "/" +
                               std::to_string(link->subnet.prefixLength) + " (" + link->name + ")";
        if (address == link->subnet.Network())
            return text + " is the subnet address" + on;
        if (address == link->subnet.Broadcast())
            return text + " is the broadcast address" + on;
    }
    return "";
}

} // namespace quillctl
