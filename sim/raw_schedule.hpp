#pragma once

#include "outgoing_queue.hpp"

#include <cstdint>
#include <vector>

namespace quillsim {

// Crafted datagrams for hostile-input tests: every payload, in order, count times, interval_ms apart.
struct RawPlan {
    std::vector<std::vector<std::uint8_t>> payloads;
    int count = 1;
    Millis interval_ms = 0;
    Destination to;
};

void schedule_raw(const RawPlan& plan, Millis start, OutgoingQueue& queue);

} // namespace quillsim
