#pragma once
#include <memory>
#include <vector>

#include "commands/host.h"

namespace quillctl {

// Asks SendARP of iphlpapi for each address from the link's address, all at once: each question on a
// thread of its own, since SendARP waits seconds for an address no one holds.
std::unique_ptr<NeighbourQuery> AskWindowsNeighbours(const Link& link, const std::vector<Ipv4>& addresses);

} // namespace quillctl
