#pragma once
#include <memory>
#include <vector>

#include "commands/host.h"

namespace quillctl {

// Sends each address an empty datagram to the discard port from the link's address, so the kernel
// resolves it by ARP as for any neighbour, then reads the answers from its neighbour table
// (/proc/net/arp): no raw socket, no privilege.
std::unique_ptr<NeighbourQuery> AskLinuxNeighbours(const Link& link, const std::vector<Ipv4>& addresses);

} // namespace quillctl
