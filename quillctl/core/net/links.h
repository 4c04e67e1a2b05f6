#pragma once
// This host's network interfaces, and the links quillctl searches on: one per IPv4 address of each
// interface that is up and not loopback, or of those the user names.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/ipv4.h"

namespace quillctl {

struct InterfaceAddress {
    Ipv4 address;
    int prefixLength = 32;
};

// An interface as the platform lists it.
struct HostInterface {
    std::string name; // UTF-8 (on Windows the name the user sees)
    uint32_t index = 0;
    bool up = false;
    bool loopback = false;
    std::vector<InterfaceAddress> addresses;
};

struct Link {
    std::string name;
    uint32_t index = 0;
    Subnet subnet; // subnet.address is this host's address on the link
    Ipv4 Address() const { return subnet.address; }
};

// "eth0 (198.51.100.1)", for messages: the name escaped (see EscapeName).
std::string DescribeLink(const Link& link);

// The word names the link as --interface does: its interface's name (ASCII case ignored) or its address.
bool LinkNamed(const Link& link, std::string_view word);

struct LinkSelection {
    std::vector<Link> links;
    std::string error; // set when the selection cannot be made (a usage error)
};

// Every up, non-loopback interface address when `wanted` is empty; else the addresses of the interfaces
// named (a name, compared without regard to ASCII case, or one of the interface's addresses: then only
// that address). An unknown name, or a named interface that is down or has no IPv4 address, is an error.
LinkSelection SelectLinks(const std::vector<HostInterface>& interfaces,
                          const std::vector<std::string>& wanted);

// Every IPv4 address of this host, whatever the interface's state.
std::vector<Ipv4> HostAddresses(const std::vector<HostInterface>& interfaces);

// What the platform says about where a datagram arrived.
struct ArrivalFacts {
    Ipv4 source;
    std::optional<uint32_t> interfaceIndex;
    std::optional<Ipv4> destination;
};

// The link a reply arrived on: by the interface index when the platform gives it (nothing when that is
// an interface we do not search on), else by the destination address, else by the sender's subnet, else
// the only link there is.
std::optional<size_t> ArrivalLink(const std::vector<Link>& links, const ArrivalFacts& facts);

} // namespace quillctl
