#include "safety_rules.hpp"

#include "onvif_messages.hpp"
#include "wire_format.hpp"

namespace quillsim {

namespace {

constexpr Ipv4 kLabNetA{0xC6336400}; // 198.51.100.0/24
constexpr Ipv4 kLabNetB{0xCB007100}; // 203.0.113.0/24

constexpr char kLabRanges[] = "198.51.100.0/24 or 203.0.113.0/24";

} // namespace

bool is_lab_unicast(Ipv4 address) {
    return in_subnet(address, kLabNetA, 24) || in_subnet(address, kLabNetB, 24);
}

bool is_allowed_destination(Ipv4 address) {
    return is_lab_unicast(address) || address == kDiscoveryGroup || address == kWsDiscoveryGroup;
}

std::optional<std::string> check_namespace(const NamespaceFacts& facts) {
    if (facts.init) {
        if (facts.own == *facts.init) {
            return "refusing to run in the root network namespace: start me inside a lab namespace "
                   "(ip netns exec NAME quillsim ...)";
        }
        return std::nullopt;
    }
    for (const auto& named : facts.named) {
        if (named == facts.own) {
            return std::nullopt;
        }
    }
    return "refusing to run: /proc/1/ns/net cannot be read to tell the root network namespace, and this "
           "namespace is not one made by \"ip netns add\" (start me with ip netns exec NAME quillsim ...)";
}

std::optional<std::string> check_interfaces(const std::vector<InterfaceAddress>& addresses) {
    for (const auto& entry : addresses) {
        if (!entry.loopback && !is_lab_unicast(entry.address)) {
            return "refusing to run: interface " + entry.interface_name + " has address " +
                   format_ipv4(entry.address) + ", outside the lab ranges " + kLabRanges;
        }
    }
    return std::nullopt;
}

std::optional<std::string> check_option_addresses(const Options& options) {
    if (options.bind_ip && !is_lab_unicast(*options.bind_ip)) {
        return "--bind-ip " + format_ipv4(*options.bind_ip) + " is outside the lab ranges " + kLabRanges;
    }
    if (!is_allowed_destination(options.raw_to)) {
        return std::string("--raw-to ") + format_ipv4(options.raw_to) + " is outside the lab ranges " +
               kLabRanges + " and is not the discovery group 235.5.6.7";
    }
    return std::nullopt;
}

} // namespace quillsim
