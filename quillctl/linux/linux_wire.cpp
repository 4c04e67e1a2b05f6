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

#include "net/reply_wait.h"
#include "wire_protocol.h"
#include "onvif/wsd_reader.h"

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

// The kernel caps SO_RCVBUF at net.core.rmem_max; a privileged user may go past it.
void GrowReceiveBuffer(int fd) {
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes, sizeof(kReceiveBufferBytes));
    int granted = 0;
    socklen_t grantedLength = sizeof(granted);
    getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &grantedLength);
    if (granted < kReceiveBufferBytes)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBufferBytes, sizeof(kReceiveBufferBytes));
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

LinuxWire::LinuxWire(const std::vector<Link>& links, const WireOptions& options)
    : buffer_(wsd::kMaxMessageBytes + 1) {
    using quillmast::DISCOVERY_REPLY_PORT;
    receivers_.push_back(
        {OpenGroupReceiver(links, DiscoveryGroup(), DISCOVERY_REPLY_PORT, "235.5.6.7"), Channel::Quill});
    for (size_t i = 0; i < links.size(); ++i)
        senders_.push_back(
            OnLink(i, [&] { return OpenSender(links[i], quillmast::DISCOVERY_REQUEST_PORT, "port 5556"); }));
    if (options.onvif) {
        for (size_t i = 0; i < links.size(); ++i) {
            onvifSenders_.push_back(
                OnLink(i, [&] { return OpenSender(links[i], 0, "a WS-Discovery port"); }));
            receivers_.push_back({onvifSenders_.back(), Channel::Onvif});
        }
    }
    if (options.onvifAnnounced) {
        // Another discovery program may hold the port exclusively: probing still finds every camera.
        try {
            receivers_.push_back(
                {OpenGroupReceiver(links, OnvifGroup(), kOnvifPort, kOnvifGroup), Channel::Onvif});
        } catch (const WireSetupError& error) {
            setupWarning_ = std::string("Hello and Bye are not heard: ") + error.what();
        }
    }
}

int LinuxWire::OpenGroupReceiver(const std::vector<Link>& links, Ipv4 group, uint16_t port,
                                 const std::string& what) {
    owned_.emplace_back(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const int fd = owned_.back().get();
    const std::string portText = "UDP port " + std::to_string(port);
    if (fd < 0)
        Fail("open the receiving socket on " + portText);
    const int on = 1, off = 0;
    // The main window, another quillctl or another discovery tool on this host may listen on the port.
    SetOption(fd, SOL_SOCKET, SO_REUSEADDR, on, "set SO_REUSEADDR on " + portText);
    SetOption(fd, IPPROTO_IP, IP_PKTINFO, on, "ask for the arrival interface (IP_PKTINFO)");
    // Only the group memberships made here, not those of every other socket on the host.
    SetOption(fd, IPPROTO_IP, IP_MULTICAST_ALL, off, "set IP_MULTICAST_ALL");
    GrowReceiveBuffer(fd);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0)
        Fail("bind " + portText);
    std::vector<uint32_t> joined;
    for (size_t i = 0; i < links.size(); ++i) {
        const Link& link = links[i];
        // One membership per interface, however many addresses it has.
        if (std::find(joined.begin(), joined.end(), link.index) != joined.end())
            continue;
        ip_mreqn membership{};
        membership.imr_multiaddr = InAddr(group.value);
        membership.imr_address = InAddr(link.Address().value);
        membership.imr_ifindex = static_cast<int>(link.index);
        OnLink(i, [&] {
            SetOption(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, membership,
                      "join " + what + " on " + DescribeLink(link));
        });
        joined.push_back(link.index);
    }
    return fd;
}

int LinuxWire::OpenSender(const Link& link, uint16_t port, const std::string& what) {
    owned_.emplace_back(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const int fd = owned_.back().get();
    if (fd < 0)
        Fail("open a sending socket for " + DescribeLink(link));
    const int on = 1, off = 0, ttl = 10;
    SetOption(fd, SOL_SOCKET, SO_REUSEADDR, on, "set SO_REUSEADDR on " + what);
    SetOption(fd, IPPROTO_IP, IP_MULTICAST_TTL, ttl, "set the multicast time-to-live");
    SetOption(fd, IPPROTO_IP, IP_MULTICAST_LOOP, off, "turn multicast loopback off");
    ip_mreqn outgoing{};
    outgoing.imr_address = InAddr(link.Address().value);
    outgoing.imr_ifindex = static_cast<int>(link.index);
    SetOption(fd, IPPROTO_IP, IP_MULTICAST_IF, outgoing, "send multicasts on " + DescribeLink(link));
    if (port == 0) {
        // Answers come back to this socket: it says which interface they came in on, like the receiver.
        SetOption(fd, IPPROTO_IP, IP_PKTINFO, on, "ask for the arrival interface (IP_PKTINFO)");
        GrowReceiveBuffer(fd);
    }
    // Bound to the link's address: devices answer the address a request came from.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = InAddr(link.Address().value);
    local.sin_port = htons(port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0)
        Fail("bind " + FormatIpv4(link.Address()) + " " + what);
    return fd;
}

namespace {

std::string SendTo(int fd, Ipv4 group, uint16_t port, std::span<const uint8_t> datagram) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = InAddr(group.value);
    to.sin_port = htons(port);
    ssize_t sent =
        sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
    if (sent < 0)
        return std::strerror(errno);
    return "";
}

} // namespace

std::string LinuxWire::Send(size_t link, std::span<const uint8_t> datagram) {
    return SendTo(senders_.at(link), DiscoveryGroup(), quillmast::DISCOVERY_REQUEST_PORT, datagram);
}

std::string LinuxWire::SendOnvif(size_t link, std::span<const uint8_t> datagram) {
    if (link >= onvifSenders_.size())
        return "no WS-Discovery socket on this link";
    return SendTo(onvifSenders_[link], OnvifGroup(), kOnvifPort, datagram);
}

void LinuxWire::Drain(int fd, Channel channel, Clock::time_point until,
                      const std::function<void(const Arrival&)>& sink) {
    const Clock::time_point end = DrainEnd(until);
    // Our replies are read up to 512 bytes (a longer one is cut to them); WS-Discovery messages whole.
    const size_t room = channel == Channel::Quill ? quillmast::kReplyBufferSize : buffer_.size();
    alignas(cmsghdr) uint8_t control[CMSG_SPACE(sizeof(in_pktinfo))];
    for (int taken = 0; taken < kDrainBatch && Clock::now() < end; ++taken) {
        sockaddr_in from{};
        iovec part{buffer_.data(), room};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof(from);
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof(control);
        ssize_t received = recvmsg(fd, &message, MSG_DONTWAIT);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            return; // nothing more queued (or an error that the next wait will meet again)
        }
        Arrival arrival;
        arrival.bytes = std::span<const uint8_t>(buffer_.data(), static_cast<size_t>(received));
        arrival.channel = channel;
        arrival.truncated = channel == Channel::Onvif && (message.msg_flags & MSG_TRUNC) != 0;
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
    std::vector<pollfd> waiting;
    for (const Receiver& receiver : receivers_)
        waiting.push_back(pollfd{receiver.fd, POLLIN, 0});
    auto readable = [&](int milliseconds) { return poll(waiting.data(), waiting.size(), milliseconds); };
    if (!WaitForReplies(
            until, [&] { return Interrupted(); }, readable))
        return;
    for (size_t i = 0; i < receivers_.size(); ++i)
        if (waiting[i].revents != 0)
            Drain(receivers_[i].fd, receivers_[i].channel, until, sink);
}

bool LinuxWire::Interrupted() { return g_interrupted.load(std::memory_order_acquire); }

} // namespace quillctl
