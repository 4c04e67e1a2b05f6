#include "device_service_server.hpp"

#include "json_line.hpp"
#include "real_clocks.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillsim {

namespace {

// Hung calls hold their connections; beyond this many at once, new ones are closed at once.
constexpr std::size_t kMaxConnections = 512;

const char* reading_problem(HttpReading state) {
    switch (state) {
    case HttpReading::too_large:
        return "request too large";
    case HttpReading::no_length:
        return "no Content-Length";
    default:
        return "malformed HTTP request";
    }
}

int status_of(HttpReading state) {
    return state == HttpReading::too_large ? 413 : state == HttpReading::no_length ? 411 : 400;
}

} // namespace

DeviceServiceServer::DeviceServiceServer(std::vector<CameraService> cameras, int http_port,
                                         LinkAddresses link, OnvifFleet& fleet, LogSink& log)
    : cameras_(std::move(cameras)), http_port_(http_port), link_(std::move(link)), fleet_(fleet), log_(log) {
    for (std::size_t k = 0; k < cameras_.size(); ++k) {
        listen_on(k);
    }
}

DeviceServiceServer::~DeviceServiceServer() {
    for (const auto& [fd, connection] : connections_) {
        close(fd);
    }
    for (const auto& [fd, camera] : listeners_) {
        close(fd);
    }
}

void DeviceServiceServer::listen_on(std::size_t camera) {
    const CameraNetwork& network = cameras_[camera].network();
    const std::string ip = format_ipv4(network.address);
    if (auto problem = link_.add(network.address, network.prefix_length)) {
        std::fprintf(stderr, "quillsim: no device service for camera %zu: %s\n", camera, problem->c_str());
        return;
    }
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(network.address.value);
    local.sin_port = htons(static_cast<std::uint16_t>(http_port_));
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        listen(fd, 64) != 0) {
        std::fprintf(stderr, "quillsim: no device service for camera %zu on %s:%d: %s\n", camera, ip.c_str(),
                     http_port_, std::strerror(errno));
        if (fd >= 0) {
            close(fd);
        }
        return;
    }
    listeners_.emplace(fd, camera);
}

std::vector<pollfd> DeviceServiceServer::poll_fds() const {
    std::vector<pollfd> fds;
    for (const auto& [fd, camera] : listeners_) {
        fds.push_back(pollfd{fd, POLLIN, 0});
    }
    for (const auto& [fd, connection] : connections_) {
        const bool writing = connection.sent < connection.to_send.size();
        fds.push_back(pollfd{fd, static_cast<short>(writing ? POLLOUT : POLLIN), 0});
    }
    return fds;
}

void DeviceServiceServer::handle(std::span<const pollfd> ready, Millis now) {
    for (const pollfd& entry : ready) {
        if (entry.revents == 0) {
            continue;
        }
        if (listeners_.contains(entry.fd)) {
            accept_on(entry.fd);
        } else if (const auto found = connections_.find(entry.fd); found != connections_.end()) {
            if (found->second.sent < found->second.to_send.size()) {
                write_to(entry.fd);
            } else {
                read_from(entry.fd, now);
            }
        }
    }
}

void DeviceServiceServer::accept_on(int listener) {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    const int fd = accept4(listener, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        return;
    }
    if (connections_.size() >= kMaxConnections) {
        close(fd);
        return;
    }
    Connection connection;
    connection.camera = listeners_.at(listener);
    connection.peer = format_ipv4(Ipv4{ntohl(peer.sin_addr.s_addr)});
    connection.peer_port = ntohs(peer.sin_port);
    connections_.emplace(fd, std::move(connection));
}

void DeviceServiceServer::read_from(int fd, Millis now) {
    Connection& connection = connections_.at(fd);
    char buffer[16384];
    const ssize_t size = recv(fd, buffer, sizeof buffer, 0);
    if (size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return;
    }
    if (size <= 0) {
        finish(fd); // the caller gave up, or a hung call's caller went away
        return;
    }
    if (connection.answered) {
        return; // a hung call: what else comes is not read as a request
    }
    connection.received.append(buffer, static_cast<std::size_t>(size));
    const HttpReadResult read = read_http_request(connection.received);
    if (read.state == HttpReading::incomplete) {
        return;
    }
    CameraService& camera = cameras_[connection.camera];
    if (!camera.serving()) {
        finish(fd); // a call that came in just before another one made the camera reboot
        return;
    }
    const std::string ip = format_ipv4(camera.network().address);
    if (read.state != HttpReading::complete) {
        ServiceExchange exchange;
        exchange.result = "fault";
        exchange.detail = reading_problem(read.state);
        exchange.answer.status = status_of(read.state);
        log_call(connection, exchange, ip);
        answer(fd, connection, exchange.answer);
        return;
    }
    // One instant for the call, its reboot and the reboot's log line, so the log shows the silence as long as
    // it is.
    const double wall = wall_seconds();
    const ServiceExchange exchange = camera.handle(read.request, now, wall);
    log_call(connection, exchange, ip);
    connection.answered = true;
    if (exchange.hang) {
        return;
    }
    if (exchange.going_silent) {
        connection.last_before_reboot = true;
        fleet_.set_silent(connection.camera, true);
        // No new caller reaches it from now on; the address goes when this answer is out.
        for (auto it = listeners_.begin(); it != listeners_.end();) {
            if (it->second == connection.camera) {
                close(it->first);
                it = listeners_.erase(it);
            } else {
                ++it;
            }
        }
        const auto& back = camera.back_at();
        log_.write(JsonLine()
                       .seconds("t", wall)
                       .text("kind", "onvif-reboot")
                       .number("device", static_cast<std::int64_t>(connection.camera))
                       .text("ip", ip)
                       .seconds("seconds", back ? static_cast<double>(*back - now) / 1000.0 : 0.0)
                       .str());
    }
    answer(fd, connection, exchange.answer);
}

void DeviceServiceServer::answer(int fd, Connection& connection, const HttpAnswer& answer) {
    connection.answered = true;
    connection.to_send = format_http_answer(answer);
    connection.sent = 0;
    write_to(fd);
}

void DeviceServiceServer::write_to(int fd) {
    Connection& connection = connections_.at(fd);
    while (connection.sent < connection.to_send.size()) {
        const ssize_t size = send(fd, connection.to_send.data() + connection.sent,
                                  connection.to_send.size() - connection.sent, MSG_NOSIGNAL);
        if (size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return; // the rest when the socket takes more
        }
        if (size <= 0) {
            break; // the caller went away (a client that stopped reading a huge answer)
        }
        connection.sent += static_cast<std::size_t>(size);
    }
    shutdown(fd, SHUT_WR);
    finish(fd);
}

void DeviceServiceServer::finish(int fd) {
    const auto found = connections_.find(fd);
    const bool last = found->second.last_before_reboot;
    const std::size_t camera = found->second.camera;
    close(fd);
    connections_.erase(found);
    if (last) {
        fall_silent(camera);
    }
}

void DeviceServiceServer::fall_silent(std::size_t camera) {
    for (auto it = connections_.begin(); it != connections_.end();) {
        if (it->second.camera == camera) {
            close(it->first);
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
    link_.remove(cameras_[camera].network().address);
}

std::optional<Millis> DeviceServiceServer::next_due() const {
    std::optional<Millis> due;
    for (const auto& camera : cameras_) {
        if (const auto back = camera.back_at(); back && (!due || *back < *due)) {
            due = back;
        }
    }
    return due;
}

void DeviceServiceServer::advance(Millis now, OutgoingQueue& out) {
    for (auto& camera : cameras_) {
        const auto back = camera.come_back(now);
        if (!back) {
            continue;
        }
        // Its answer may still be on the way if the caller reads slowly: then the address goes now.
        for (auto& [fd, connection] : connections_) {
            if (connection.camera == back->index) {
                connection.last_before_reboot = false;
            }
        }
        link_.remove(back->old_address);
        listen_on(back->index);
        out.push(fleet_.come_back(back->index, back->network.address,
                                  static_cast<std::uint64_t>(wall_seconds()), now));
        log_.write(JsonLine()
                       .seconds("t", wall_seconds())
                       .text("kind", "onvif-back")
                       .number("device", static_cast<std::int64_t>(back->index))
                       .text("old", format_ipv4(back->old_address))
                       .text("ip", format_ipv4(back->network.address))
                       .number("prefix_length", back->network.prefix_length)
                       .str());
    }
}

void DeviceServiceServer::log_call(const Connection& connection, const ServiceExchange& exchange,
                                   const std::string& ip) {
    JsonLine line;
    line.seconds("t", wall_seconds())
        .text("kind", "onvif-call")
        .number("device", static_cast<std::int64_t>(connection.camera))
        .text("ip", ip)
        .text("src", connection.peer)
        .number("sport", connection.peer_port)
        .text("operation", exchange.operation)
        .text("auth", exchange.auth.method.empty() ? "none" : exchange.auth.method)
        .text("user", exchange.auth.user)
        .text("result", exchange.result)
        .number("status", exchange.hang ? 0 : exchange.answer.status)
        .number("len", static_cast<std::int64_t>(exchange.answer.body.size()));
    if (!exchange.detail.empty()) {
        line.text("detail", exchange.detail);
    }
    log_.write(line.str());
}

} // namespace quillsim
