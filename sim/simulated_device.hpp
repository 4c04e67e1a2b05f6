#pragma once

#include "base/ipv4_address.hpp"
#include "mac_address.hpp"
#include "base/sim_clock.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace quillsim {

enum class ChangePolicy {
    confirm, // take the requested address
    never,   // ignore change commands entirely: the program must give up after its time-out
    other,   // take a fixed other address: the program must accept any new address as confirmation
};

struct ChangeRules {
    ChangePolicy policy = ChangePolicy::confirm;
    Millis delay_ms = 0;  // how long after the first command the new address takes effect
    Ipv4 other_address{}; // used by ChangePolicy::other
};

struct AddressChange {
    std::string old_address;
    std::string new_address;
};

// One pretend device: its identity, the address it answers with, and a change of address it has been told
// to make. It decides what address to answer with; when and where the answer goes is the fleet's business.
class SimulatedDevice {
  public:
    SimulatedDevice(const MacBytes& mac, std::string address, const ChangeRules& rules);

    const MacBytes& mac() const { return mac_; }
    const std::string& address() const { return address_; }

    // A change command for this device. False means the device ignores it and does not answer (policy never,
    // or an address text that is not a valid IPv4 address). A command that arrives while a change is already
    // under way neither restarts its clock nor alters its target, the way the program repeats one command
    // every cycle; it is still answered, with the address the device has at that moment.
    bool accept_change(std::string_view requested_address, Millis now);

    // Takes the pending address once its time has come; returns the change if the address actually moved.
    std::optional<AddressChange> apply_due_change(Millis now);

    std::optional<Millis> change_due_at() const;

    // A change of address the device makes by itself (as after a DHCP lease or a user at its own web
    // page), due at `due_at`. It replaces any change under way.
    void schedule_change(std::string new_address, Millis due_at);

  private:
    struct PendingChange {
        std::string new_address;
        Millis due_at;
    };

    MacBytes mac_;
    std::string address_;
    ChangeRules rules_;
    std::optional<PendingChange> pending_;
};

} // namespace quillsim
