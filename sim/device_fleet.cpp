#include "device_fleet.hpp"

#include <stdexcept>

namespace quillsim {

Destination reply_destination(ReplyMode mode, Ipv4 requester) {
    return Destination{mode == ReplyMode::multicast ? kDiscoveryGroup : requester, kReplyPort};
}

Millis answer_wait(Millis delay_ms, Millis jitter_ms, std::mt19937_64& random) {
    if (jitter_ms <= 0) {
        return delay_ms;
    }
    return delay_ms + std::uniform_int_distribution<Millis>(0, jitter_ms)(random);
}

DeviceFleet::DeviceFleet(const FleetConfig& config) : config_(config), random_(config.seed) {
    devices_.reserve(config.device_count);
    for (std::size_t k = 0; k < config.device_count; ++k) {
        const auto mac = offset_mac(config.mac_base, k);
        const auto ip = offset_ipv4(config.ip_base, k);
        if (!mac || !ip) {
            throw std::invalid_argument("device addresses run past the end of their range");
        }
        devices_.emplace_back(*mac, format_ipv4(*ip), config.change);
    }
}

std::optional<std::size_t> DeviceFleet::find(const MacBytes& mac) const {
    // The MACs are consecutive, so the index is the distance from the base.
    const auto distance = mac_distance(config_.mac_base, mac);
    if (!distance || *distance >= devices_.size()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(*distance);
}

void DeviceFleet::queue_answer(const SimulatedDevice& device, Ipv4 requester, Millis now,
                               OutgoingQueue& out) {
    const Millis wait = answer_wait(config_.reply.delay_ms, config_.reply.jitter_ms, random_);
    out.push(OutgoingDatagram{now + wait, reply_destination(config_.reply.mode, requester),
                              build_reply(device.address(), config_.reply.http_port, device.mac()),
                              OutgoingKind::reply, device.mac(), device.address(), std::nullopt});
}

void DeviceFleet::settle(std::size_t index, Millis now, std::vector<DeviceAddressChange>& changes) {
    SimulatedDevice& device = devices_[index];
    if (auto change = device.apply_due_change(now)) {
        changes.push_back(DeviceAddressChange{device.mac(), std::move(*change)});
    }
    if (!device.change_due_at()) {
        changing_.erase(index);
    }
}

void DeviceFleet::start_moves(Millis start) {
    for (const auto& move : config_.moves) {
        devices_.at(move.device).schedule_change(format_ipv4(move.address), start + move.after_ms);
        changing_.insert(move.device);
    }
}

std::vector<DeviceAddressChange> DeviceFleet::apply_due_changes(Millis now) {
    std::vector<DeviceAddressChange> changes;
    for (auto it = changing_.begin(); it != changing_.end();) {
        const std::size_t index = *it++; // settle() may erase the current element
        settle(index, now, changes);
    }
    return changes;
}

std::optional<Millis> DeviceFleet::next_change_due() const {
    std::optional<Millis> earliest;
    for (std::size_t index : changing_) {
        const auto due = devices_[index].change_due_at();
        if (due && (!earliest || *due < *earliest)) {
            earliest = due;
        }
    }
    return earliest;
}

std::vector<DeviceAddressChange> DeviceFleet::on_request(const ClassifiedRequest& request, Ipv4 requester,
                                                         Millis now, OutgoingQueue& out) {
    std::vector<DeviceAddressChange> changes = apply_due_changes(now);
    switch (request.kind) {
    case RequestKind::search:
        for (const auto& device : devices_) {
            queue_answer(device, requester, now, out);
        }
        break;
    case RequestKind::change: {
        const auto index = find(request.change->mac);
        if (!index || !devices_[*index].accept_change(request.change->address_text, now)) {
            break;
        }
        changing_.insert(*index);
        // With no change delay the device answers this very command with its new address.
        settle(*index, now, changes);
        queue_answer(devices_[*index], requester, now, out);
        break;
    }
    case RequestKind::other:
        break;
    }
    return changes;
}

} // namespace quillsim
