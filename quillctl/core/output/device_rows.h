#pragma once
// What find reports for each device: its reply's facts and what they mean on this host's links.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/device_list.h"
#include "net/links.h"

namespace quillctl {

struct DeviceRow {
    int number = 0;
    std::string ip; // the address text, escaped for printing (see EscapeText)
    std::string mac;
    std::optional<int32_t> httpPort;
    std::string interfaceAddress; // this host's address on the link the reply arrived on
    std::string interfaceName;    // escaped as a name (see EscapeName)
    bool inSubnet = false;        // the address text is an address inside that link's subnet
    bool duplicateIp = false;     // another device heard in this run, or this host, has the same address
    std::string source;           // where the reply came from
    bool sourceDiffers = false;
    // Appended for WS-Discovery; empty for our own devices (and mac empty for those others unless a
    // scope gives it).
    std::string protocol = "quill";
    std::string endpoint;      // escaped as the address is
    std::string name;          // escaped as a name: valid UTF-8 stays
    std::string hardware;      // the same
    std::string xaddr;         // escaped as the address is
    bool duplicateMac = false; // its MAC is heard on another link too (a row per link)
    // Appended for `info` and `find --details`: what a camera's device service said (the texts the
    // camera chose escaped as a name, the gateway as an address); empty (and prefix_length none) when
    // not asked or not answered.
    std::string manufacturer;
    std::string model;
    std::string firmware;
    std::string serial;
    std::string dhcp; // "true" or "false"
    std::optional<int> prefixLength;
    std::string gateway;
    std::string auth; // "none", "ok", "needed" or "refused"

    bool operator==(const DeviceRow&) const = default;
};

// Both kinds of device, in the order they were first heard; one that said Bye is left out. Only dotted
// addresses count for the subnet and duplicate rules: any other text names no address. A device holds
// an address twice when another device of either kind, or this host, holds it too; a WS-Discovery
// device whose scopes give the MAC of one of ours at the same address is that device answering both
// searches, not a second holder; so is a device whose MAC (or, without one, endpoint) answers at the
// same address on two links: one device seen twice.
std::vector<DeviceRow> BuildRows(const DeviceList& list, const std::vector<Link>& links,
                                 const std::vector<Ipv4>& hostAddresses);

} // namespace quillctl
