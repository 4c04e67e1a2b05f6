#include "net/pacer.h"

#include <algorithm>

namespace quillctl {

PaceEnd RunPaced(Wire& wire, Clock::time_point deadline, const PaceSteps& steps) {
    const std::function<void(const Arrival&)> ignore = [](const Arrival&) {};
    const auto& onReply = steps.onReply ? steps.onReply : ignore;
    Clock::time_point nextTick = wire.Now();
    for (;;) {
        if (wire.Interrupted())
            return PaceEnd::Interrupted;
        Clock::time_point now = wire.Now();
        if (now >= deadline)
            return PaceEnd::Deadline;
        if (now >= nextTick) {
            if (steps.onTick && !steps.onTick(now))
                return PaceEnd::Stopped;
            // A late tick (a slow machine) is not made up for with a burst.
            while (nextTick <= now)
                nextTick += kSendPeriod;
        }
        wire.Receive(std::min(nextTick, deadline), onReply);
        if (steps.keepGoing && !steps.keepGoing())
            return PaceEnd::Stopped;
    }
}

} // namespace quillctl
