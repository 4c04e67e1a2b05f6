#include "http_page_server.hpp"

#include "http_page.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

namespace quillsim {

namespace {

// A browser or test opens a handful at a time; more than this means something is hammering the page.
constexpr std::size_t kMaxConnections = 64;

int open_listener(Ipv4 address, int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(address.value);
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 || listen(fd, 16) != 0) {
        std::fprintf(stderr, "quillsim: no web page on %s:%d: %s\n", format_ipv4(address).c_str(), port,
                     std::strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

HttpPageServer::HttpPageServer(const DeviceFleet& fleet, int http_port,
                               const std::vector<InterfaceAddress>& local) {
    std::set<Ipv4> assigned;
    for (const auto& entry : local) {
        assigned.insert(entry.address);
    }
    for (std::size_t k = 0; k < fleet.size(); ++k) {
        const auto& device = fleet.device(k);
        const auto address = parse_ipv4(device.address());
        if (!address || !assigned.contains(*address)) {
            continue;
        }
        const int fd = open_listener(*address, http_port);
        if (fd >= 0) {
            listeners_.emplace(fd, device_page_response(device.mac(), device.address(), http_port));
        }
    }
}

HttpPageServer::~HttpPageServer() {
    for (const auto& [fd, page] : connections_) {
        close(fd);
    }
    for (const auto& [fd, page] : listeners_) {
        close(fd);
    }
}

std::vector<pollfd> HttpPageServer::poll_fds() const {
    std::vector<pollfd> fds;
    for (const auto& [fd, page] : listeners_) {
        fds.push_back(pollfd{fd, POLLIN, 0});
    }
    for (const auto& [fd, page] : connections_) {
        fds.push_back(pollfd{fd, POLLIN, 0});
    }
    return fds;
}

void HttpPageServer::handle(std::span<const pollfd> ready) {
    for (const pollfd& entry : ready) {
        if (entry.revents == 0) {
            continue;
        }
        if (listeners_.contains(entry.fd)) {
            accept_on(entry.fd);
        } else if (connections_.contains(entry.fd)) {
            answer(entry.fd);
        }
    }
}

void HttpPageServer::accept_on(int listener) {
    const int connection = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (connection < 0) {
        return;
    }
    if (connections_.size() >= kMaxConnections) {
        close(connection);
        return;
    }
    connections_.emplace(connection, listeners_.at(listener));
}

void HttpPageServer::answer(int connection) {
    // Whatever the request says, every path gets the page: the request is read only so that closing the
    // socket does not reset the connection under unread data.
    char request[4096];
    const ssize_t size = recv(connection, request, sizeof request, 0);
    if (size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        return;
    }
    if (size > 0) {
        const std::string& page = connections_.at(connection);
        [[maybe_unused]] const ssize_t sent = send(connection, page.data(), page.size(), MSG_NOSIGNAL);
        shutdown(connection, SHUT_WR);
    }
    close(connection);
    connections_.erase(connection);
}

} // namespace quillsim
