#pragma once
// What every command starts with: this host's interfaces, the links chosen with --interface and the
// sockets on them.
#include <memory>
#include <string>
#include <vector>

#include "host.h"
#include "links.h"
#include "wire.h"

namespace quillctl {

struct Session {
    std::vector<HostInterface> interfaces;
    std::vector<Link> links;
    std::vector<Ipv4> hostAddresses;
    std::unique_ptr<Wire> wire;
};

// Throws CommandError: exit 2 for an unknown or unusable interface, exit 1 when no interface is up or
// a socket cannot be set up.
Session OpenSession(Host& host, const std::vector<std::string>& wantedInterfaces,
                    const WireOptions& wireOptions = {});

// A --timeout-style number of seconds as a clock duration.
Clock::duration SecondsToDuration(double seconds);

} // namespace quillctl
