#pragma once
// The datagram side of quillctl as the commands see it: one sending path per link and one receiving
// path for replies, with the clock they are timed by. The platform provides the real one; tests
// provide one with scripted devices and a clock of their own.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>

#include "net/links.h"

namespace quillctl {

using Clock = std::chrono::steady_clock;

// Our own search (port 5555/5556, group 235.5.6.7) or WS-Discovery (port 3702, group 239.255.255.250).
enum class Channel { Quill, Onvif };

// WS-Discovery's group and port, where the platform opens the sockets of Channel::Onvif.
inline constexpr const char* kOnvifGroup = "239.255.255.250";
inline constexpr uint16_t kOnvifPort = 3702;

// Which sockets a command needs besides our own search's.
struct WireOptions {
    bool onvif = false;          // a socket per link for WS-Discovery requests and the answers to them
    bool onvifAnnounced = false; // also the group's port, where devices announce Hello and Bye
};

// A reply as it arrived: its bytes (the platform keeps at most the first 512 of our replies, and one
// whole datagram of WS-Discovery) and where it came from.
struct Arrival {
    std::span<const uint8_t> bytes;
    ArrivalFacts facts;
    Channel channel = Channel::Quill;
    bool truncated = false; // the datagram was longer than what was kept of it
};

// Thrown when a socket cannot be set up; the message names the step and the system's reason.
class WireSetupError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A setup step of one link that failed (its group could not be joined, its address bound): the other
// links may still work without it.
class LinkSetupError : public WireSetupError {
  public:
    LinkSetupError(size_t link, const std::string& what) : WireSetupError(what), link_(link) {}
    size_t link() const { return link_; }

  private:
    size_t link_;
};

// Runs one link's setup step, telling its failure as that link's.
template <typename Step> auto OnLink(size_t link, Step&& step) {
    try {
        return step();
    } catch (const LinkSetupError&) {
        throw;
    } catch (const WireSetupError& error) {
        throw LinkSetupError(link, error.what());
    }
}

class Wire {
  public:
    virtual ~Wire() = default;

    virtual Clock::time_point Now() = 0;

    // Multicasts one datagram to the group on the link. An empty text when it went out, else the
    // system's reason.
    virtual std::string Send(size_t link, std::span<const uint8_t> datagram) = 0;

    // Multicasts one WS-Discovery request to 239.255.255.250:3702 on the link, from the link's own
    // WS-Discovery socket (answers come back to it). Only when the wire was opened with options.onvif.
    virtual std::string SendOnvif(size_t link, std::span<const uint8_t> datagram) = 0;

    // Waits until replies are queued or `until` passes, then hands every queued reply to `sink` (up to
    // a bound, so a flood cannot hold the caller). Returns early on an interruption (Ctrl-C).
    virtual void Receive(Clock::time_point until, const std::function<void(const Arrival&)>& sink) = 0;

    virtual bool Interrupted() = 0;

    // What could not be set up without stopping the command (the port of Hello and Bye held by another
    // program, say): empty when all is as asked.
    virtual std::string SetupWarning() { return {}; }
};

} // namespace quillctl
