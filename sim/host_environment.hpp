#pragma once

#include "safety_rules.hpp"

#include <optional>
#include <string>
#include <vector>

namespace quillsim {

// The facts about this host that the safety rules judge, read from /proc and the interface list.

// Every IPv4 address on every interface, loopback ones marked.
std::vector<InterfaceAddress> list_interface_addresses();

// A message if the simulator must not run here (wrong namespace, a non-lab address, or facts that cannot be
// read, which count as unsafe).
std::optional<std::string> check_host_is_lab();

} // namespace quillsim
