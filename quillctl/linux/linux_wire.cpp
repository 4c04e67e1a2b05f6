#include "linux_wire.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "reply_wait.h"
#include "wire_protocol.h"

namespace quillctl {

namespace {

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted.store(true, std::memory_order_release); }

[[noreturn]] void Fail(const std::string& step) {
    throw WireSetupError("cannot " + step + ": " + std::strerror(errno));
}

template <typename Value>
void SetOption(int fd, int level, int name, const Value& value, const std::string& step) {
    if (setsockopt(fd, level, name, &value, sizeof(value)) != 0)
        Fail(step);
}

in_addr InAddr(uint32_t hostOrder) {
    in_addr address{};
    address.s_addr = htonl(hostOrder);
    return address;
}

} // namespace

void CatchInterruptions() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait in poll ends at once.
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

LinuxWire::Fd& LinuxWire::Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

LinuxWire::Fd::~Fd() {
    if (fd_ >= 0)
        close(fd_);
}

LinuxWire::LinuxWire(const std::vector<Link>& links) {
    OpenReceiver(links);
    for (const Link& link : links)
        OpenSender(link);
}

void LinuxWire::OpenReceiver(const std::vector<Link>& links) {
    receive_ = Fd(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const int fd = receive_.get();
    if (fd < 0)
        Fail("open the receiving socket");
    const int on = 1, off = 0;
    // The main window (or another quillctl) on this host may listen on the same port.
    SetOption(fd, SOL_SOCKET, SO_REUSEADDR, on, "set SO_REUSEADDR on port 5555");
    SetOption(fd, IPPROTO_IP, IP_PKTINFO, on, "ask for the arrival interface (IP_PKTINFO)");
    // Only the group memberships made here, not those of every other socket on the host.
    SetOption(fd, IPPROTO_IP, IP_MULTICAST_ALL, off, "set IP_MULTICAST_ALL");
    // The kernel caps SO_RCVBUF at net.core.rmem_max; a privileged user may go past it.
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes, sizeof(kReceiveBufferBytes));
    int granted = 0;
    socklen_t grantedLength = sizeof(granted);
    getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &grantedLength);
    if (granted < kReceiveBufferBytes)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBufferBytes, sizeof(kReceiveBufferBytes));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(quillmast::DISCOVERY_REPLY_PORT);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0)
        Fail("bind UDP port 5555");
    std::vector<uint32_t> joined;
    for (const Link& link : links) {
        // One membership per interface, however many addresses it has.
        if (std::find(joined.begin(), joined.end(), link.index) != joined.end())
            continue;
        ip_mreqn membership{};
        membership.imr_multiaddr = InAddr(DiscoveryGroup().value);
        membership.imr_address = InAddr(link.Address().value);
        membership.imr_ifindex = static_cast<int>(link.index);
        SetOption(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, membership, "join 235.5.6.7 on " + DescribeLink(link));
        joined.push_back(link.index);
    }
}

void LinuxWire::OpenSender(const Link& link) {
    senders_.emplace_back(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const int fd = senders_.back().get();
    if (fd < 0)
        Fail("open a sending socket for " + DescribeLink(link));
    const int on = 1, off = 0, ttl = 10;
    SetOption(fd, SOL_SOCKET, SO_REUSEADDR, on, "set SO_REUSEADDR on port 5556");
    SetOption(fd, IPPROTO_IP, IP_MULTICAST_TTL, ttl, "set the multicast time-to-live");
    SetOption(fd, IPPROTO_IP, IP_MULTICAST_LOOP, off, "turn multicast loopback off");
    ip_mreqn outgoing{};
    outgoing.imr_address = InAddr(link.Address().value);
    outgoing.imr_ifindex = static_cast<int>(link.index);
    SetOption(fd, IPPROTO_IP, IP_MULTICAST_IF, outgoing, "send multicasts on " + DescribeLink(link));
    // Bound to the link's address: devices answer the address a request came from.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = InAddr(link.Address().value);
    local.sin_port = htons(quillmast::DISCOVERY_REQUEST_PORT);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0)
        Fail("bind " + FormatIpv4(link.Address()) + " port 5556");
}

std::string LinuxWire::Send(size_t link, std::span<const uint8_t> datagram) {
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_addr = InAddr(DiscoveryGroup().value);
    group.sin_port = htons(quillmast::DISCOVERY_REQUEST_PORT);
    ssize_t sent = sendto(senders_.at(link).get(), datagram.data(), datagram.size(), 0,
                          reinterpret_cast<const sockaddr*>(&group), sizeof(group));
    if (sent < 0)
        return std::strerror(errno);
    return "";
}

void LinuxWire::Drain(const std::function<void(const Arrival&)>& sink) {
    // Only the first 512 bytes of a reply are ever read; a longer datagram is cut to them.
    uint8_t buffer[quillmast::kReplyBufferSize];
    alignas(cmsghdr) uint8_t control[CMSG_SPACE(sizeof(in_pktinfo))];
    for (int taken = 0; taken < kDrainBatch; ++taken) {
        sockaddr_in from{};
        iovec part{buffer, sizeof(buffer)};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof(from);
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof(control);
        ssize_t received = recvmsg(receive_.get(), &message, MSG_DONTWAIT);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            return; // nothing more queued (or an error that the next wait will meet again)
        }
        Arrival arrival;
        arrival.bytes = std::span<const uint8_t>(buffer, static_cast<size_t>(received));
        arrival.facts.source = Ipv4{ntohl(from.sin_addr.s_addr)};
        for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
             header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_PKTINFO)
                continue;
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(header), sizeof(info));
            arrival.facts.interfaceIndex = static_cast<uint32_t>(info.ipi_ifindex);
            arrival.facts.destination = Ipv4{ntohl(info.ipi_addr.s_addr)};
        }
        sink(arrival);
    }
}

void LinuxWire::Receive(Clock::time_point until, const std::function<void(const Arrival&)>& sink) {
    auto readable = [&](int milliseconds) {
        pollfd waiting{receive_.get(), POLLIN, 0};
        return poll(&waiting, 1, milliseconds);
    };
    if (WaitForReplies(
            until, [&] { return Interrupted(); }, readable))
        Drain(sink);
}

bool LinuxWire::Interrupted() { return g_interrupted.load(std::memory_order_acquire); }

} // namespace quillctl
