#pragma once

#include "base/ipv4_address.hpp"
#include "onvif_messages.hpp"
#include "outgoing_queue.hpp"
#include "received_datagram.hpp"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace quillsim {

inline constexpr std::size_t kMaxOnvifDevices = 1000;

struct OnvifConfig {
    std::size_t device_count = 0;
    Ipv4 ip_base{};
    int http_port = 80;
    bool no_xaddrs = false;  // ProbeMatches and Hello leave XAddrs out; a Resolve gets them
    bool drop_first = false; // each camera loses its first ProbeMatch
    Millis delay_ms = 0;
    Millis jitter_ms = 0;
    std::uint64_t seed = 0;
    std::uint64_t instance_id = 0;                    // AppSequence InstanceId: the start time
    std::vector<std::vector<std::uint8_t>> templates; // crafted replies sent to every Probe
};

// Camera k's fixed identity: endpoint urn:uuid:5a1b0000-0000-4000-8000-<its address as 8 hex digits><k as 4>,
// so a test can name it without reading the log, and cameras of two simulators (two segments) differ.
std::string onvif_endpoint(Ipv4 address, std::size_t index);
std::vector<std::string> onvif_scopes(std::size_t index);
std::string onvif_xaddr(std::string_view address, int http_port);

// Whether a camera of these types and scopes answers this Probe.
bool probe_matches(const DiscoveryMessage& probe, const std::vector<QualifiedName>& types,
                   const std::vector<std::string>& scopes);

// Every {{RelatesTo}} replaced by the text, XML-escaped so it cannot break the template's own markup.
std::vector<std::uint8_t> fill_template(std::span<const std::uint8_t> raw, std::string_view relates_to);

struct OnvifDrop {
    std::size_t device = 0;
    Destination to;
};

// What one datagram on the WS-Discovery port led to, for the log.
struct OnvifReception {
    DiscoveryMessage message;
    std::size_t answered = 0; // cameras that queued an answer (dropped ones included)
    std::vector<OnvifDrop> dropped;
};

// The ONVIF cameras: answer Probes and Resolves, announce themselves with Hello and leave with Bye.
class OnvifFleet {
  public:
    explicit OnvifFleet(const OnvifConfig& config);

    std::size_t size() const { return cameras_.size(); }
    const CameraDescription& camera(std::size_t index) const { return cameras_.at(index).description; }
    std::string address(std::size_t index) const;

    OnvifReception on_datagram(const ReceivedDatagram& datagram, Millis now, OutgoingQueue& out);

    std::vector<OutgoingDatagram> hellos(Millis now);
    std::vector<OutgoingDatagram> byes(Millis now); // not from a camera that is rebooting

    // A rebooting camera answers no Probe or Resolve and sends no Bye.
    void set_silent(std::size_t index, bool silent) { cameras_.at(index).silent = silent; }
    bool silent(std::size_t index) const { return cameras_.at(index).silent; }
    // Camera k back from a reboot at `address`: a new instance (instance_id, the wall clock's seconds, or one
    // above the last; its messages counted afresh), the metadata version raised when the address changed;
    // returns its Hello.
    OutgoingDatagram come_back(std::size_t index, Ipv4 address, std::uint64_t instance_id, Millis now);

  private:
    struct Camera {
        CameraDescription description; // as announced: without XAddrs under no_xaddrs
        std::string xaddrs;
        Ipv4 ip;
        std::uint64_t instance_id = 0;
        std::uint64_t sent = 0; // messages so far in this instance, for AppSequence
        bool dropped_first = false;
        bool silent = false;
    };

    MessageHeader header(Camera& camera, std::string_view to, std::optional<std::string> relates_to);
    OutgoingDatagram datagram(std::size_t index, Millis due, Destination to, OutgoingKind kind,
                              std::vector<std::uint8_t> bytes) const;
    void answer_probe(const DiscoveryMessage& probe, Destination from, Millis now, OutgoingQueue& out,
                      OnvifReception& reception);
    void answer_resolve(const DiscoveryMessage& resolve, Destination from, Millis now, OutgoingQueue& out,
                        OnvifReception& reception);
    std::string random_urn();

    OnvifConfig config_;
    std::vector<Camera> cameras_;
    std::mt19937_64 random_;
};

} // namespace quillsim
