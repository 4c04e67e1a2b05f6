#include "udp_endpoint.hpp"

#include "wire_format.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <string>
#include <netinet/in.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace quillsim {

namespace {

// Larger than any UDP payload, so "len" in the log is the true length even for hostile datagrams.
constexpr std::size_t kReceiveBufferSize = 65536;

sockaddr_in socket_address(Ipv4 address, std::uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = htonl(address.value);
    result.sin_port = htons(port);
    return result;
}

in_addr in_address(Ipv4 address) {
    in_addr result{};
    result.s_addr = htonl(address.value);
    return result;
}

[[noreturn]] void fail(const std::string& step) {
    throw std::system_error(errno, std::generic_category(), step);
}

template <typename Value>
void set_option(int fd, int level, int name, const Value& value, const std::string& step) {
    if (setsockopt(fd, level, name, &value, sizeof value) != 0) {
        fail(step);
    }
}

} // namespace

UdpService quill_service() { return UdpService{kRequestPort, kDiscoveryGroup, true}; }

UdpEndpoint::UdpEndpoint(std::optional<Ipv4> bind_ip, int multicast_ttl, UdpService service)
    : bind_ip_(bind_ip) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        fail("socket");
    }
    try {
        const int on = 1;
        // Several simulators, or a simulator beside the program, may share the port, as devices on one host
        // would.
        set_option(fd_, SOL_SOCKET, SO_REUSEADDR, on, "setsockopt SO_REUSEADDR");
        set_option(fd_, IPPROTO_IP, IP_RECVTTL, on, "setsockopt IP_RECVTTL");
        set_option(fd_, IPPROTO_IP, IP_PKTINFO, on, "setsockopt IP_PKTINFO");
        set_option(fd_, IPPROTO_IP, IP_MULTICAST_TTL, multicast_ttl, "setsockopt IP_MULTICAST_TTL");
        if (!service.hear_own_multicast) {
            set_option(fd_, IPPROTO_IP, IP_MULTICAST_LOOP, 0, "setsockopt IP_MULTICAST_LOOP");
        }
        const std::string port_text = std::to_string(service.port);

        // Bound to any address: a socket bound to a unicast address does not receive the group's datagrams.
        const sockaddr_in local = socket_address(Ipv4{INADDR_ANY}, service.port);
        if (bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            fail("bind port " + port_text);
        }
        ip_mreq membership{};
        membership.imr_multiaddr = in_address(service.group);
        membership.imr_interface = in_address(bind_ip.value_or(Ipv4{INADDR_ANY}));
        set_option(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, membership, "join " + format_ipv4(service.group));
        if (bind_ip) {
            set_option(fd_, IPPROTO_IP, IP_MULTICAST_IF, in_address(*bind_ip), "setsockopt IP_MULTICAST_IF");
        }
    } catch (...) {
        close(fd_);
        throw;
    }
}

UdpEndpoint::~UdpEndpoint() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

std::optional<ReceivedDatagram> UdpEndpoint::receive() {
    static std::uint8_t buffer[kReceiveBufferSize];
    alignas(cmsghdr) char control[256];
    sockaddr_in source{};
    iovec vector{buffer, sizeof buffer};
    msghdr message{};
    message.msg_name = &source;
    message.msg_namelen = sizeof source;
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;

    const ssize_t size = recvmsg(fd_, &message, 0);
    if (size < 0) {
        return std::nullopt;
    }
    ReceivedDatagram datagram;
    datagram.source = Ipv4{ntohl(source.sin_addr.s_addr)};
    datagram.source_port = ntohs(source.sin_port);
    datagram.bytes.assign(buffer, buffer + size);
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != IPPROTO_IP) {
            continue;
        }
        if (header->cmsg_type == IP_TTL) {
            int ttl = 0;
            std::memcpy(&ttl, CMSG_DATA(header), sizeof ttl);
            datagram.ttl = ttl;
        } else if (header->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            datagram.destination = Ipv4{ntohl(info.ipi_addr.s_addr)};
        }
    }
    return datagram;
}

UdpEndpoint::SendResult UdpEndpoint::send(const OutgoingDatagram& datagram, int& error) {
    sockaddr_in target = socket_address(datagram.to.address, datagram.to.port);
    iovec vector{const_cast<std::uint8_t*>(datagram.bytes.data()), datagram.bytes.size()};
    msghdr message{};
    message.msg_name = &target;
    message.msg_namelen = sizeof target;
    message.msg_iov = &vector;
    message.msg_iovlen = 1;

    // The socket is bound to any address, so with --bind-ip the source address of a unicast answer is set per
    // datagram; multicast leaves by IP_MULTICAST_IF.
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    if (bind_ip_) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_spec_dst = in_address(*bind_ip_);
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
    }
    if (sendmsg(fd_, &message, 0) >= 0) {
        return SendResult::sent;
    }
    error = errno;
    if (error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS || error == EINTR) {
        return SendResult::retry_later;
    }
    return SendResult::failed;
}

} // namespace quillsim
