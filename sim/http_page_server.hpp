#pragma once

#include "device_fleet.hpp"
#include "safety_rules.hpp"

#include <map>
#include <poll.h>
#include <span>
#include <string>
#include <vector>

namespace quillsim {

// Serves each device's page on TCP port http_port of the device's address, for the addresses that are
// assigned to an interface here; a device whose address is not assigned has no page. One response per
// connection, then close.
class HttpPageServer {
  public:
    HttpPageServer(const DeviceFleet& fleet, int http_port, const std::vector<InterfaceAddress>& local);
    HttpPageServer(const HttpPageServer&) = delete;
    HttpPageServer& operator=(const HttpPageServer&) = delete;
    ~HttpPageServer();

    std::size_t listener_count() const { return listeners_.size(); }
    std::vector<pollfd> poll_fds() const;
    // Given back the entries of poll_fds() after the wait.
    void handle(std::span<const pollfd> ready);

  private:
    void accept_on(int listener);
    void answer(int connection);

    std::map<int, std::string> listeners_;   // listening socket -> the page it serves
    std::map<int, std::string> connections_; // accepted socket -> the page to send it
};

} // namespace quillsim
