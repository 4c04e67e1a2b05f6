#include "link_addresses.hpp"

#include "host_environment.hpp"
#include "safety_rules.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillsim {

std::optional<LinkAddresses> LinkAddresses::open(std::optional<Ipv4> bind_ip, std::string& problem) {
    std::set<std::string> links;
    for (const auto& entry : list_interface_addresses()) {
        if (!entry.loopback && (!bind_ip || entry.address == *bind_ip)) {
            links.insert(entry.interface_name);
        }
    }
    if (links.size() != 1) {
        problem = "the cameras' addresses need one link with an address (use --bind-ip): found " +
                  std::to_string(links.size());
        return std::nullopt;
    }
    const std::string name = *links.begin();
    const unsigned index = if_nametoindex(name.c_str());
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (index == 0 || fd < 0) {
        problem = "no netlink socket for " + name + ": " + std::strerror(errno);
        return std::nullopt;
    }
    // Two cameras moved into a network of their own: removing the first must not take the second with it.
    std::ofstream("/proc/sys/net/ipv4/conf/" + name + "/promote_secondaries") << "1\n";
    return LinkAddresses(fd, index, name);
}

LinkAddresses::LinkAddresses(LinkAddresses&& other) noexcept
    : socket_(other.socket_), index_(other.index_), name_(std::move(other.name_)),
      added_(std::move(other.added_)) {
    other.socket_ = -1;
    other.added_.clear();
}

LinkAddresses::~LinkAddresses() {
    if (socket_ < 0) {
        return;
    }
    for (const auto& [address, prefix] : added_) {
        request(RTM_DELADDR, 0, address, prefix);
    }
    close(socket_);
}

int LinkAddresses::request(int type, int flags, Ipv4 address, int prefix_length) {
    struct {
        nlmsghdr header;
        ifaddrmsg message;
        char attributes[64];
    } packet{};
    packet.header.nlmsg_type = static_cast<std::uint16_t>(type);
    packet.header.nlmsg_flags = static_cast<std::uint16_t>(NLM_F_REQUEST | NLM_F_ACK | flags);
    packet.header.nlmsg_seq = 1;
    packet.message.ifa_family = AF_INET;
    packet.message.ifa_prefixlen = static_cast<unsigned char>(prefix_length);
    packet.message.ifa_index = index_;
    std::size_t length = NLMSG_LENGTH(sizeof(ifaddrmsg));
    const std::uint32_t network_order = htonl(address.value);
    for (const unsigned short kind : {IFA_LOCAL, IFA_ADDRESS}) {
        auto* attribute = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&packet) + NLMSG_ALIGN(length));
        attribute->rta_type = kind;
        attribute->rta_len = RTA_LENGTH(sizeof network_order);
        std::memcpy(RTA_DATA(attribute), &network_order, sizeof network_order);
        length = NLMSG_ALIGN(length) + RTA_ALIGN(attribute->rta_len);
    }
    packet.header.nlmsg_len = static_cast<std::uint32_t>(length);
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(socket_, &packet, length, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0) {
        return errno;
    }
    char answer[4096];
    const ssize_t size = recv(socket_, answer, sizeof answer, 0);
    if (size < static_cast<ssize_t>(NLMSG_LENGTH(sizeof(nlmsgerr)))) {
        return size < 0 ? errno : EIO;
    }
    const auto* header = reinterpret_cast<const nlmsghdr*>(answer);
    if (header->nlmsg_type != NLMSG_ERROR) {
        return EIO;
    }
    return -reinterpret_cast<const nlmsgerr*>(NLMSG_DATA(header))->error;
}

std::optional<std::string> LinkAddresses::add(Ipv4 address, int prefix_length) {
    // The last guard before an address is put on a link: never anything outside the lab ranges.
    if (!is_lab_unicast(address)) {
        return format_ipv4(address) + " is not a lab address";
    }
    const int error = request(RTM_NEWADDR, NLM_F_CREATE | NLM_F_EXCL, address, prefix_length);
    if (error == 0) {
        added_.insert({address, prefix_length});
        return std::nullopt;
    }
    if (error == EEXIST) {
        return std::nullopt;
    }
    return "cannot add " + format_ipv4(address) + " to " + name_ + ": " + std::strerror(error);
}

void LinkAddresses::remove(Ipv4 address) {
    for (auto it = added_.begin(); it != added_.end();) {
        if (it->first == address) {
            request(RTM_DELADDR, 0, it->first, it->second);
            it = added_.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace quillsim
