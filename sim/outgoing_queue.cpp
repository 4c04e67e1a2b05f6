#include "outgoing_queue.hpp"

#include <algorithm>
#include <utility>

namespace quillsim {

bool OutgoingQueue::later(const Entry& a, const Entry& b) {
    if (a.datagram.due != b.datagram.due) {
        return a.datagram.due > b.datagram.due;
    }
    return a.sequence > b.sequence;
}

void OutgoingQueue::push(OutgoingDatagram datagram) {
    heap_.push_back(Entry{next_sequence_++, std::move(datagram)});
    std::push_heap(heap_.begin(), heap_.end(), later);
}

std::optional<Millis> OutgoingQueue::next_due() const {
    if (heap_.empty()) {
        return std::nullopt;
    }
    return heap_.front().datagram.due;
}

const OutgoingDatagram* OutgoingQueue::peek_due(Millis now) const {
    if (heap_.empty() || heap_.front().datagram.due > now) {
        return nullptr;
    }
    return &heap_.front().datagram;
}

void OutgoingQueue::pop() {
    if (heap_.empty()) {
        return;
    }
    std::pop_heap(heap_.begin(), heap_.end(), later);
    heap_.pop_back();
}

} // namespace quillsim
