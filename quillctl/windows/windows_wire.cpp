#include "windows_wire.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "net/reply_wait.h"
#include "wire_protocol.h"
#include "onvif/wsd_reader.h"

namespace quillctl {

namespace {

std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD kind) {
    if (kind == CTRL_C_EVENT || kind == CTRL_BREAK_EVENT) {
        g_interrupted.store(true, std::memory_order_release);
        return TRUE;
    }
    return FALSE;
}

[[noreturn]] void Fail(const std::string& step) {
    throw WireSetupError("cannot " + step + ": " + SystemMessage(static_cast<DWORD>(WSAGetLastError())));
}

void SetOption(SOCKET s, int level, int name, const void* value, int size, const std::string& step) {
    if (setsockopt(s, level, name, static_cast<const char*>(value), size) == SOCKET_ERROR)
        Fail(step);
}

void SetInt(SOCKET s, int level, int name, DWORD value, const std::string& step) {
    SetOption(s, level, name, &value, sizeof(value), step);
}

in_addr InAddr(uint32_t hostOrder) {
    in_addr address{};
    address.s_addr = htonl(hostOrder);
    return address;
}

} // namespace

std::string SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length > 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
    if (text != nullptr)
        LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    std::string out;
    if (!message.empty()) {
        int size = WideCharToMultiByte(CP_UTF8, 0, message.c_str(), -1, nullptr, 0, nullptr, nullptr);
        if (size > 1) {
            out.resize(static_cast<size_t>(size - 1));
            WideCharToMultiByte(CP_UTF8, 0, message.c_str(), -1, out.data(), size, nullptr, nullptr);
        }
    }
    return (out.empty() ? std::string("error") : out) + " (" + std::to_string(code) + ")";
}

void CatchInterruptions() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

WindowsWire::WindowsWire(const std::vector<Link>& links, const WireOptions& options)
    : buffer_(wsd::kMaxMessageBytes + 1) {
    try {
        Open(links, options);
    } catch (...) {
        Close();
        throw;
    }
}

WindowsWire::~WindowsWire() { Close(); }

void WindowsWire::Close() {
    for (SOCKET s : owned_)
        closesocket(s);
    owned_.clear();
    receivers_.clear();
    senders_.clear();
    onvifSenders_.clear();
    if (started_)
        WSACleanup();
    started_ = false;
}

void WindowsWire::Open(const std::vector<Link>& links, const WireOptions& options) {
    WSADATA data{};
    int started = WSAStartup(MAKEWORD(2, 2), &data);
    if (started != 0)
        throw WireSetupError("cannot start Windows Sockets: " + SystemMessage(static_cast<DWORD>(started)));
    started_ = true;
    receivers_.push_back(
        {OpenGroupReceiver(links, DiscoveryGroup(), quillmast::DISCOVERY_REPLY_PORT, "235.5.6.7"),
         Channel::Quill});
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
        // Windows' own discovery services may hold the port exclusively: probing still finds every camera.
        try {
            receivers_.push_back(
                {OpenGroupReceiver(links, OnvifGroup(), kOnvifPort, kOnvifGroup), Channel::Onvif});
        } catch (const WireSetupError& error) {
            setupWarning_ = std::string("Hello and Bye are not heard: ") + error.what();
        }
    }
    GUID id = WSAID_WSARECVMSG;
    DWORD returned = 0;
    // Without WSARecvMsg the arrival interface is told by the sender's subnet instead.
    if (WSAIoctl(receivers_.front().s, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof(id), &recvMsg_,
                 sizeof(recvMsg_), &returned, nullptr, nullptr) == SOCKET_ERROR)
        recvMsg_ = nullptr;
}

SOCKET WindowsWire::NewSocket(const std::string& what) {
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        Fail("open a socket for " + what);
    owned_.push_back(s);
    return s;
}

SOCKET WindowsWire::OpenGroupReceiver(const std::vector<Link>& links, Ipv4 group, uint16_t port,
                                      const std::string& what) {
    const std::string portText = "UDP port " + std::to_string(port);
    SOCKET s = NewSocket(portText);
    // The main window, another quillctl or another discovery tool on this host may listen on the port.
    SetInt(s, SOL_SOCKET, SO_REUSEADDR, 1, "set SO_REUSEADDR on " + portText);
    SetInt(s, IPPROTO_IP, IP_PKTINFO, 1, "ask for the arrival interface (IP_PKTINFO)");
    SetInt(s, SOL_SOCKET, SO_RCVBUF, kReceiveBufferBytes, "set the receive buffer size");
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) == SOCKET_ERROR)
        Fail("bind " + portText);
    std::vector<uint32_t> joined;
    for (size_t i = 0; i < links.size(); ++i) {
        const Link& link = links[i];
        // One membership per interface, however many addresses it has.
        if (std::find(joined.begin(), joined.end(), link.index) != joined.end())
            continue;
        ip_mreq membership{};
        membership.imr_multiaddr = InAddr(group.value);
        membership.imr_interface = InAddr(link.Address().value);
        OnLink(i, [&] {
            SetOption(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof(membership),
                      "join " + what + " on " + DescribeLink(link));
        });
        joined.push_back(link.index);
    }
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) == SOCKET_ERROR)
        Fail("make the receiving socket non-blocking");
    return s;
}

SOCKET WindowsWire::OpenSender(const Link& link, uint16_t port, const std::string& what) {
    SOCKET s = NewSocket(DescribeLink(link));
    SetInt(s, SOL_SOCKET, SO_REUSEADDR, 1, "set SO_REUSEADDR on " + what);
    SetInt(s, IPPROTO_IP, IP_MULTICAST_TTL, 10, "set the multicast time-to-live");
    SetInt(s, IPPROTO_IP, IP_MULTICAST_LOOP, 0, "turn multicast loopback off");
    in_addr outgoing = InAddr(link.Address().value);
    SetOption(s, IPPROTO_IP, IP_MULTICAST_IF, &outgoing, sizeof(outgoing),
              "send multicasts on " + DescribeLink(link));
    if (port == 0) {
        // Answers come back to this socket: it says which interface they came in on, like the receiver.
        SetInt(s, IPPROTO_IP, IP_PKTINFO, 1, "ask for the arrival interface (IP_PKTINFO)");
        SetInt(s, SOL_SOCKET, SO_RCVBUF, kReceiveBufferBytes, "set the receive buffer size");
    }
    // Bound to the link's address: devices answer the address a request came from.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = InAddr(link.Address().value);
    local.sin_port = htons(port);
    if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) == SOCKET_ERROR)
        Fail("bind " + FormatIpv4(link.Address()) + " " + what);
    if (port == 0) {
        u_long nonBlocking = 1;
        if (ioctlsocket(s, FIONBIO, &nonBlocking) == SOCKET_ERROR)
            Fail("make the WS-Discovery socket non-blocking");
    }
    return s;
}

namespace {

std::string SendTo(SOCKET s, Ipv4 group, uint16_t port, std::span<const uint8_t> datagram) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = InAddr(group.value);
    to.sin_port = htons(port);
    if (sendto(s, reinterpret_cast<const char*>(datagram.data()), static_cast<int>(datagram.size()), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof(to)) == SOCKET_ERROR)
        return SystemMessage(static_cast<DWORD>(WSAGetLastError()));
    return "";
}

} // namespace

std::string WindowsWire::Send(size_t link, std::span<const uint8_t> datagram) {
    return SendTo(senders_.at(link), DiscoveryGroup(), quillmast::DISCOVERY_REQUEST_PORT, datagram);
}

std::string WindowsWire::SendOnvif(size_t link, std::span<const uint8_t> datagram) {
    if (link >= onvifSenders_.size())
        return "no WS-Discovery socket on this link";
    return SendTo(onvifSenders_[link], OnvifGroup(), kOnvifPort, datagram);
}

void WindowsWire::Drain(SOCKET s, Channel channel, Clock::time_point until,
                        const std::function<void(const Arrival&)>& sink) {
    const Clock::time_point end = DrainEnd(until);
    // Our replies are read up to 512 bytes (a longer one is cut to them); WS-Discovery messages whole.
    uint8_t* buffer = buffer_.data();
    const size_t room = channel == Channel::Quill ? quillmast::kReplyBufferSize : buffer_.size();
    alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))];
    for (int taken = 0; taken < kDrainBatch && Clock::now() < end; ++taken) {
        sockaddr_in from{};
        DWORD received = 0;
        int result = 0;
        bool truncated = false;
        WSAMSG message{};
        if (recvMsg_ != nullptr) {
            WSABUF part{static_cast<ULONG>(room), reinterpret_cast<char*>(buffer)};
            message.name = reinterpret_cast<sockaddr*>(&from);
            message.namelen = sizeof(from);
            message.lpBuffers = &part;
            message.dwBufferCount = 1;
            message.Control = WSABUF{static_cast<ULONG>(sizeof(control)), control};
            result = recvMsg_(s, &message, &received, nullptr, nullptr);
        } else {
            int fromLength = sizeof(from);
            int n = recvfrom(s, reinterpret_cast<char*>(buffer), static_cast<int>(room), 0,
                             reinterpret_cast<sockaddr*>(&from), &fromLength);
            result = n == SOCKET_ERROR ? SOCKET_ERROR : 0;
            received = n == SOCKET_ERROR ? 0 : static_cast<DWORD>(n);
        }
        if (result == SOCKET_ERROR) {
            int error = WSAGetLastError();
            if (error == WSAEMSGSIZE) {
                received = static_cast<DWORD>(room); // the first part arrived
                truncated = true;
            } else if (error == WSAECONNRESET) {
                continue; // an ICMP "port unreachable" for an earlier send: not a reply
            } else {
                return; // nothing more queued
            }
        }
        Arrival arrival;
        arrival.bytes = std::span<const uint8_t>(buffer, std::min<size_t>(received, room));
        arrival.channel = channel;
        arrival.truncated = channel == Channel::Onvif && truncated;
        arrival.facts.source = Ipv4{ntohl(from.sin_addr.s_addr)};
        if (recvMsg_ != nullptr)
            for (WSACMSGHDR* header = WSA_CMSG_FIRSTHDR(&message); header != nullptr;
                 header = WSA_CMSG_NXTHDR(&message, header)) {
                if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_PKTINFO)
                    continue;
                IN_PKTINFO info;
                std::memcpy(&info, WSA_CMSG_DATA(header), sizeof(info));
                arrival.facts.interfaceIndex = static_cast<uint32_t>(info.ipi_ifindex);
                arrival.facts.destination = Ipv4{ntohl(info.ipi_addr.s_addr)};
            }
        sink(arrival);
    }
}

void WindowsWire::Receive(Clock::time_point until, const std::function<void(const Arrival&)>& sink) {
    fd_set ready;
    auto readable = [&](int milliseconds) {
        FD_ZERO(&ready);
        for (const Receiver& receiver : receivers_)
            FD_SET(receiver.s, &ready);
        timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
        return select(0, &ready, nullptr, nullptr, &timeout);
    };
    if (!WaitForReplies(
            until, [&] { return Interrupted(); }, readable))
        return;
    for (const Receiver& receiver : receivers_)
        if (FD_ISSET(receiver.s, &ready))
            Drain(receiver.s, receiver.channel, until, sink);
}

bool WindowsWire::Interrupted() { return g_interrupted.load(std::memory_order_acquire); }

} // namespace quillctl
