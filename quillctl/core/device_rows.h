#pragma once
// What find reports for each device: its reply's facts and what they mean on this host's links.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device_list.h"
#include "links.h"

namespace quillctl {

struct DeviceRow {
    int number = 0;
    std::string ip; // the address text, escaped for printing (see EscapeText)
    std::string mac;
    std::optional<int32_t> httpPort;
    std::string interfaceAddress; // this host's address on the link the reply arrived on
    std::string interfaceName;
    bool inSubnet = false;    // the address text is an address inside that link's subnet
    bool duplicateIp = false; // another device heard in this run, or this host, has the same address
    std::string source;       // where the reply came from
    bool sourceDiffers = false;

    bool operator==(const DeviceRow&) const = default;
};

// Only dotted addresses count for the subnet and duplicate rules: any other text names no address.
std::vector<DeviceRow> BuildRows(const DeviceList& list, const std::vector<Link>& links,
                                 const std::vector<Ipv4>& hostAddresses);

} // namespace quillctl
