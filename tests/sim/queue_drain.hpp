#pragma once

// What a fleet has queued to send by a given time, taken off the queue in order.

#include "outgoing_queue.hpp"

#include <vector>

namespace quillsim::test {

inline std::vector<OutgoingDatagram> drain(OutgoingQueue& queue, Millis now) {
    std::vector<OutgoingDatagram> sent;
    while (const OutgoingDatagram* next = queue.peek_due(now)) {
        sent.push_back(*next);
        queue.pop();
    }
    return sent;
}

} // namespace quillsim::test
