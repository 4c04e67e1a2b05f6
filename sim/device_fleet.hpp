#pragma once

#include "outgoing_queue.hpp"
#include "simulated_device.hpp"
#include "wire_format.hpp"

#include <cstdint>
#include <optional>
#include <random>
#include <set>
#include <vector>

namespace quillsim {

enum class ReplyMode {
    unicast,   // to the requester's address
    multicast, // to the group, which every listener on the segment hears
};

struct ReplyRules {
    std::optional<int> http_port = 80; // nothing: the reply carries no HTTP field
    ReplyMode mode = ReplyMode::unicast;
    Millis delay_ms = 0;
    Millis jitter_ms = 0; // each answer is delayed by delay_ms plus a uniform draw from [0, jitter_ms]
};

// Device `device` takes `address` by itself `after_ms` after the fleet starts.
struct ScheduledMove {
    std::size_t device = 0;
    Ipv4 address{};
    Millis after_ms = 0;
};

struct FleetConfig {
    std::size_t device_count = 1;
    MacBytes mac_base{};
    Ipv4 ip_base{};
    ChangeRules change;
    ReplyRules reply;
    std::uint64_t seed = 0;
    std::vector<ScheduledMove> moves;
};

struct DeviceAddressChange {
    MacBytes mac;
    AddressChange change;
};

Destination reply_destination(ReplyMode mode, Ipv4 requester);

// How long one answer waits: delay_ms plus a uniform draw from [0, jitter_ms].
Millis answer_wait(Millis delay_ms, Millis jitter_ms, std::mt19937_64& random);

// All pretend devices: device k has MAC mac_base + k and address ip_base + k. Turns each request into the
// answers of the devices it concerns, each queued for its own moment.
class DeviceFleet {
  public:
    // The config's address ranges must not overflow (the option checks make sure of it); throws
    // std::invalid_argument if they do.
    explicit DeviceFleet(const FleetConfig& config);

    std::size_t size() const { return devices_.size(); }
    const SimulatedDevice& device(std::size_t index) const { return devices_.at(index); }

    // Changes that have come due are applied first, so an answer carries the address the device has at now.
    // Returns every address change that took effect.
    std::vector<DeviceAddressChange> on_request(const ClassifiedRequest& request, Ipv4 requester, Millis now,
                                                OutgoingQueue& out);

    // Starts the clock of the configured moves; the changes then take effect like any other.
    void start_moves(Millis start);

    std::vector<DeviceAddressChange> apply_due_changes(Millis now);
    std::optional<Millis> next_change_due() const;

  private:
    std::optional<std::size_t> find(const MacBytes& mac) const;
    void queue_answer(const SimulatedDevice& device, Ipv4 requester, Millis now, OutgoingQueue& out);
    void settle(std::size_t index, Millis now, std::vector<DeviceAddressChange>& changes);

    FleetConfig config_;
    std::vector<SimulatedDevice> devices_;
    std::set<std::size_t> changing_; // devices with a change under way
    std::mt19937_64 random_;
};

} // namespace quillsim
