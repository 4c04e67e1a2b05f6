#pragma once
#include <vector>

#include "net/links.h"

namespace quillctl {

// Every interface with its IPv4 addresses (getifaddrs). Throws CommandError when the list cannot be read.
std::vector<HostInterface> ListLinuxInterfaces();

} // namespace quillctl
