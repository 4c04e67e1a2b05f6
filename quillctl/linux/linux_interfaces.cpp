#include "linux_interfaces.h"

#include <arpa/inet.h>
#include <bit>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include "net/exit_status.h"

namespace quillctl {

std::vector<HostInterface> ListLinuxInterfaces() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        throw CommandError(kExitFailure,
                           std::string("cannot list the network interfaces: ") + std::strerror(errno));
    std::vector<HostInterface> interfaces;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_name == nullptr)
            continue;
        // One entry per address (and one without an IPv4 address): gather them by interface.
        HostInterface* itf = nullptr;
        for (HostInterface& known : interfaces)
            if (known.name == entry->ifa_name)
                itf = &known;
        if (itf == nullptr) {
            interfaces.push_back(HostInterface{entry->ifa_name,
                                               if_nametoindex(entry->ifa_name),
                                               (entry->ifa_flags & IFF_UP) != 0,
                                               (entry->ifa_flags & IFF_LOOPBACK) != 0,
                                               {}});
            itf = &interfaces.back();
        }
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        int prefix = 32;
        if (entry->ifa_netmask != nullptr) {
            uint32_t mask = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr);
            prefix = std::popcount(mask);
        }
        itf->addresses.push_back(InterfaceAddress{Ipv4{ntohl(address->sin_addr.s_addr)}, prefix});
    }
    freeifaddrs(list);
    return interfaces;
}

} // namespace quillctl
