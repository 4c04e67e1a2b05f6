#include "simulated_device.hpp"

#include <utility>

namespace quillsim {

SimulatedDevice::SimulatedDevice(const MacBytes& mac, std::string address, const ChangeRules& rules)
    : mac_(mac), address_(std::move(address)), rules_(rules) {}

bool SimulatedDevice::accept_change(std::string_view requested_address, Millis now) {
    if (rules_.policy == ChangePolicy::never) {
        return false;
    }
    const auto requested = parse_ipv4(requested_address);
    if (!requested) {
        return false;
    }
    if (!pending_) {
        const Ipv4 target = rules_.policy == ChangePolicy::other ? rules_.other_address : *requested;
        pending_ = PendingChange{format_ipv4(target), now + rules_.delay_ms};
    }
    return true;
}

std::optional<AddressChange> SimulatedDevice::apply_due_change(Millis now) {
    if (!pending_ || now < pending_->due_at) {
        return std::nullopt;
    }
    std::string new_address = std::move(pending_->new_address);
    pending_.reset();
    if (new_address == address_) {
        return std::nullopt;
    }
    AddressChange change{address_, new_address};
    address_ = std::move(new_address);
    return change;
}

void SimulatedDevice::schedule_change(std::string new_address, Millis due_at) {
    pending_ = PendingChange{std::move(new_address), due_at};
}

std::optional<Millis> SimulatedDevice::change_due_at() const {
    if (!pending_) {
        return std::nullopt;
    }
    return pending_->due_at;
}

} // namespace quillsim
