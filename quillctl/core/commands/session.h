#pragma once
// What every command starts with: this host's interfaces, the links chosen with --interface and the
// sockets on them.
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "commands/host.h"
#include "net/links.h"
#include "net/search.h"
#include "net/wire.h"

namespace quillctl {

struct Session {
    std::vector<HostInterface> interfaces;
    std::vector<Link> links;
    std::vector<Ipv4> hostAddresses;
    std::unique_ptr<Wire> wire;
};

// A link whose sockets cannot be set up (a Windows address marked duplicate, an adapter gone since the
// list was read) is left out with one warning on `err` naming it, and the others are used. Throws
// CommandError: exit 2 for an unknown or unusable interface, exit 1 when no interface is up or no link's
// sockets, or a socket that every link needs, can be set up.
Session OpenSession(Host& host, const std::vector<std::string>& wantedInterfaces, std::ostream& err,
                    const WireOptions& wireOptions = {});

// The search before a change: the whole `seconds`, never ended early, so every device, camera and other
// machine that may hold a target address has the time to answer. Throws CommandError (exit 1) when
// interrupted or when no search could be sent; says the platform's hint when nothing answered.
void SearchTheWholeTime(Search& search, Session& session, Host& host, double seconds);

// A --timeout-style number of seconds as a clock duration.
Clock::duration SecondsToDuration(double seconds);

} // namespace quillctl
