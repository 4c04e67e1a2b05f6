#include "host_environment.hpp"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/stat.h>

namespace quillsim {

namespace {

std::optional<NamespaceId> namespace_id(const char* path) {
    struct stat info {};
    if (stat(path, &info) != 0) {
        return std::nullopt;
    }
    return NamespaceId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

// The namespaces that "ip netns add" made: each is bind-mounted under /run/netns.
std::vector<NamespaceId> named_namespaces() {
    std::vector<NamespaceId> found;
    DIR* dir = opendir("/run/netns");
    if (dir == nullptr) {
        return found;
    }
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        const std::string path = std::string("/run/netns/") + entry->d_name;
        if (auto id = namespace_id(path.c_str())) {
            found.push_back(*id);
        }
    }
    closedir(dir);
    return found;
}

} // namespace

std::vector<InterfaceAddress> list_interface_addresses() {
    std::vector<InterfaceAddress> addresses;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return addresses;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        const auto* inet = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        addresses.push_back(InterfaceAddress{entry->ifa_name, Ipv4{ntohl(inet->sin_addr.s_addr)},
                                             (entry->ifa_flags & IFF_LOOPBACK) != 0});
    }
    freeifaddrs(list);
    return addresses;
}

std::optional<std::string> check_host_is_lab() {
    const auto own = namespace_id("/proc/self/ns/net");
    if (!own) {
        return std::string("refusing to run: cannot tell which network namespace this is (") +
               std::strerror(errno) + ")";
    }
    if (auto problem =
            check_namespace(NamespaceFacts{*own, namespace_id("/proc/1/ns/net"), named_namespaces()})) {
        return problem;
    }
    ifaddrs* probe = nullptr;
    if (getifaddrs(&probe) != 0) {
        return std::string("refusing to run: cannot list the interfaces (") + std::strerror(errno) + ")";
    }
    freeifaddrs(probe);
    return check_interfaces(list_interface_addresses());
}

} // namespace quillsim
