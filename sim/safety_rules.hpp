#pragma once

#include "base/ipv4_address.hpp"
#include "options.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillsim {

// The simulator may only ever talk on a throwaway lab network: documentation ranges 198.51.100.0/24 and
// 203.0.113.0/24 inside a network namespace of its own. These rules are pure so they can be tested without
// a network; host_environment gathers the facts they judge.

bool is_lab_unicast(Ipv4 address);

// Where the simulator may send: a lab address, the discovery group or the WS-Discovery group.
bool is_allowed_destination(Ipv4 address);

struct InterfaceAddress {
    std::string interface_name;
    Ipv4 address;
    bool loopback = false;
};

// A network namespace as the file system names it: nsfs device and inode.
struct NamespaceId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    auto operator<=>(const NamespaceId&) const = default;
};

struct NamespaceFacts {
    NamespaceId own;
    // Init's namespace, which is the root one. Containers often hide it (reading /proc/1/ns needs ptrace
    // rights over init), so it may be unknown.
    std::optional<NamespaceId> init;
    // The namespaces named by "ip netns add" (/run/netns/*): each one is a fresh namespace, never the root.
    std::vector<NamespaceId> named;
};

// Each returns a message for the user when the rule is broken, nothing when it holds.
// Outside the root namespace when init's is known; otherwise inside a namespace made by "ip netns add".
std::optional<std::string> check_namespace(const NamespaceFacts& facts);
std::optional<std::string> check_interfaces(const std::vector<InterfaceAddress>& addresses);
// --ip-base and --other-ip are only text written into replies, so any address is fine there; the addresses
// the simulator sends to or from are held to the lab ranges.
std::optional<std::string> check_option_addresses(const Options& options);

} // namespace quillsim
