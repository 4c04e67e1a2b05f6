#include "raw_schedule.hpp"

namespace quillsim {

void schedule_raw(const RawPlan& plan, Millis start, OutgoingQueue& queue) {
    for (int round = 0; round < plan.count; ++round) {
        const Millis due = start + plan.interval_ms * round;
        for (const auto& payload : plan.payloads) {
            queue.push(
                OutgoingDatagram{due, plan.to, payload, OutgoingKind::raw, std::nullopt, {}, std::nullopt});
        }
    }
}

} // namespace quillsim
