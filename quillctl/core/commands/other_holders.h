#pragma once
// Addresses held by someone other than our devices heard in the search: a machine that answers ARP on
// the card (a PC, a printer, a camera that does not answer our search) or a WS-Discovery camera that
// announces it. A change to such an address would put two machines on one address.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "net/device_list.h"
#include "commands/host.h"
#include "net/links.h"

namespace quillctl {

// How long a neighbour has to answer ARP once asked: a LAN answers in milliseconds.
inline constexpr std::chrono::milliseconds kNeighbourWait{1000};

class OtherHolders {
  public:
    OtherHolders(Host& host, const std::vector<Link>& links, Wire& wire)
        : host_(host), links_(links), wire_(wire) {}

    // Starts asking ARP for those of `addresses` that lie in a link's subnet and were not asked yet.
    void Ask(const std::vector<Ipv4>& addresses);

    // Who holds each address asked for, other than a device of `devices`, in words ("answers ARP on
    // eth0 (198.51.100.1) from 00-1b-..."), and each address a WS-Discovery camera of `devices`
    // announces. Waits for ARP answers until kNeighbourWait after the latest Ask at most.
    std::map<Ipv4, std::string> Find(const DeviceList& devices);

  private:
    struct Asked {
        size_t link;
        std::unique_ptr<NeighbourQuery> query;
    };
    Host& host_;
    const std::vector<Link>& links_;
    Wire& wire_;
    std::vector<Asked> asked_;
    std::set<Ipv4> known_;
    Clock::time_point lastAsk_{};
    std::map<Ipv4, std::pair<size_t, Mac>> answers_; // address -> link, MAC
};

} // namespace quillctl
