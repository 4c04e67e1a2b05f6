#pragma once

#include "link_addresses.hpp"
#include "log_sink.hpp"
#include "onvif/camera_service.hpp"
#include "onvif_device.hpp"
#include "outgoing_queue.hpp"

#include <map>
#include <poll.h>
#include <span>
#include <string>
#include <vector>

namespace quillsim {

// The cameras' device services on TCP: one listener per camera on its own address (put on the link for
// it), one call per connection. A camera going into a reboot stops listening and lets its address go once
// its last answer is out; back from it, it holds its (new) address, listens there and says Hello.
class DeviceServiceServer {
  public:
    DeviceServiceServer(std::vector<CameraService> cameras, int http_port, LinkAddresses link,
                        OnvifFleet& fleet, LogSink& log);
    DeviceServiceServer(const DeviceServiceServer&) = delete;
    DeviceServiceServer& operator=(const DeviceServiceServer&) = delete;
    ~DeviceServiceServer();

    std::size_t listening() const { return listeners_.size(); }
    std::vector<pollfd> poll_fds() const;
    void handle(std::span<const pollfd> ready, Millis now);
    // The next moment a camera comes back from its reboot.
    std::optional<Millis> next_due() const;
    // Cameras whose reboot is over come back; their Hellos go into the queue.
    void advance(Millis now, OutgoingQueue& out);

  private:
    struct Connection {
        std::size_t camera = 0;
        std::string peer;
        int peer_port = 0;
        std::string received;
        std::string to_send;
        std::size_t sent = 0;
        bool answered = false; // or hung: nothing more is read into a request
        bool last_before_reboot = false;
    };

    void listen_on(std::size_t camera);
    void accept_on(int listener);
    void read_from(int fd, Millis now);
    void answer(int fd, Connection& connection, const HttpAnswer& answer);
    void write_to(int fd);
    void finish(int fd);
    void fall_silent(std::size_t camera);
    void log_call(const Connection& connection, const ServiceExchange& exchange, const std::string& ip);

    std::vector<CameraService> cameras_;
    int http_port_;
    LinkAddresses link_;
    OnvifFleet& fleet_;
    LogSink& log_;
    std::map<int, std::size_t> listeners_; // listening socket -> camera
    std::map<int, Connection> connections_;
};

} // namespace quillsim
