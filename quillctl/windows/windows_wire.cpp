#include "windows_wire.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "reply_wait.h"
#include "wire_protocol.h"

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

WindowsWire::WindowsWire(const std::vector<Link>& links) {
    try {
        Open(links);
    } catch (...) {
        Close();
        throw;
    }
}

WindowsWire::~WindowsWire() { Close(); }

void WindowsWire::Close() {
    if (receive_ != INVALID_SOCKET)
        closesocket(receive_);
    receive_ = INVALID_SOCKET;
    for (SOCKET s : senders_)
        closesocket(s);
    senders_.clear();
    if (started_)
        WSACleanup();
    started_ = false;
}

void WindowsWire::Open(const std::vector<Link>& links) {
    WSADATA data{};
    int started = WSAStartup(MAKEWORD(2, 2), &data);
    if (started != 0)
        throw WireSetupError("cannot start Windows Sockets: " + SystemMessage(static_cast<DWORD>(started)));
    started_ = true;
    OpenReceiver(links);
    for (const Link& link : links)
        OpenSender(link);
}

void WindowsWire::OpenReceiver(const std::vector<Link>& links) {
    receive_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (receive_ == INVALID_SOCKET)
        Fail("open the receiving socket");
    // The main window (or another quillctl) on this host may listen on the same port.
    SetInt(receive_, SOL_SOCKET, SO_REUSEADDR, 1, "set SO_REUSEADDR on port 5555");
    SetInt(receive_, IPPROTO_IP, IP_PKTINFO, 1, "ask for the arrival interface (IP_PKTINFO)");
    SetInt(receive_, SOL_SOCKET, SO_RCVBUF, kReceiveBufferBytes, "set the receive buffer size");
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(quillmast::DISCOVERY_REPLY_PORT);
    if (bind(receive_, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) == SOCKET_ERROR)
        Fail("bind UDP port 5555");
    std::vector<uint32_t> joined;
    for (const Link& link : links) {
        // One membership per interface, however many addresses it has.
        if (std::find(joined.begin(), joined.end(), link.index) != joined.end())
            continue;
        ip_mreq membership{};
        membership.imr_multiaddr = InAddr(DiscoveryGroup().value);
        membership.imr_interface = InAddr(link.Address().value);
        SetOption(receive_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof(membership),
                  "join 235.5.6.7 on " + DescribeLink(link));
        joined.push_back(link.index);
    }
    u_long nonBlocking = 1;
    if (ioctlsocket(receive_, FIONBIO, &nonBlocking) == SOCKET_ERROR)
        Fail("make the receiving socket non-blocking");
    GUID id = WSAID_WSARECVMSG;
    DWORD returned = 0;
    // Without WSARecvMsg the arrival interface is told by the sender's subnet instead.
    if (WSAIoctl(receive_, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof(id), &recvMsg_, sizeof(recvMsg_),
                 &returned, nullptr, nullptr) == SOCKET_ERROR)
        recvMsg_ = nullptr;
}

void WindowsWire::OpenSender(const Link& link) {
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        Fail("open a sending socket for " + DescribeLink(link));
    senders_.push_back(s);
    SetInt(s, SOL_SOCKET, SO_REUSEADDR, 1, "set SO_REUSEADDR on port 5556");
    SetInt(s, IPPROTO_IP, IP_MULTICAST_TTL, 10, "set the multicast time-to-live");
    SetInt(s, IPPROTO_IP, IP_MULTICAST_LOOP, 0, "turn multicast loopback off");
    in_addr outgoing = InAddr(link.Address().value);
    SetOption(s, IPPROTO_IP, IP_MULTICAST_IF, &outgoing, sizeof(outgoing),
              "send multicasts on " + DescribeLink(link));
    // Bound to the link's address: devices answer the address a request came from.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = InAddr(link.Address().value);
    local.sin_port = htons(quillmast::DISCOVERY_REQUEST_PORT);
    if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) == SOCKET_ERROR)
        Fail("bind " + FormatIpv4(link.Address()) + " port 5556");
}

std::string WindowsWire::Send(size_t link, std::span<const uint8_t> datagram) {
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_addr = InAddr(DiscoveryGroup().value);
    group.sin_port = htons(quillmast::DISCOVERY_REQUEST_PORT);
    if (sendto(senders_.at(link), reinterpret_cast<const char*>(datagram.data()),
               static_cast<int>(datagram.size()), 0, reinterpret_cast<const sockaddr*>(&group),
               sizeof(group)) == SOCKET_ERROR)
        return SystemMessage(static_cast<DWORD>(WSAGetLastError()));
    return "";
}

void WindowsWire::Drain(const std::function<void(const Arrival&)>& sink) {
    // Only the first 512 bytes of a reply are ever read; a longer datagram is cut to them.
    uint8_t buffer[quillmast::kReplyBufferSize];
    alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))];
    for (int taken = 0; taken < kDrainBatch; ++taken) {
        sockaddr_in from{};
        DWORD received = 0;
        int result = 0;
        WSAMSG message{};
        if (recvMsg_ != nullptr) {
            WSABUF part{static_cast<ULONG>(sizeof(buffer)), reinterpret_cast<char*>(buffer)};
            message.name = reinterpret_cast<sockaddr*>(&from);
            message.namelen = sizeof(from);
            message.lpBuffers = &part;
            message.dwBufferCount = 1;
            message.Control = WSABUF{static_cast<ULONG>(sizeof(control)), control};
            result = recvMsg_(receive_, &message, &received, nullptr, nullptr);
        } else {
            int fromLength = sizeof(from);
            int n = recvfrom(receive_, reinterpret_cast<char*>(buffer), sizeof(buffer), 0,
                             reinterpret_cast<sockaddr*>(&from), &fromLength);
            result = n == SOCKET_ERROR ? SOCKET_ERROR : 0;
            received = n == SOCKET_ERROR ? 0 : static_cast<DWORD>(n);
        }
        if (result == SOCKET_ERROR) {
            int error = WSAGetLastError();
            if (error == WSAEMSGSIZE) {
                received = sizeof(buffer); // the first 512 bytes arrived
            } else if (error == WSAECONNRESET) {
                continue; // an ICMP "port unreachable" for an earlier send: not a reply
            } else {
                return; // nothing more queued
            }
        }
        Arrival arrival;
        arrival.bytes = std::span<const uint8_t>(buffer, std::min<size_t>(received, sizeof(buffer)));
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
    auto readable = [&](int milliseconds) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(receive_, &readable);
        timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
        return select(0, &readable, nullptr, nullptr, &timeout);
    };
    if (WaitForReplies(
            until, [&] { return Interrupted(); }, readable))
        Drain(sink);
}

bool WindowsWire::Interrupted() { return g_interrupted.load(std::memory_order_acquire); }

} // namespace quillctl
