#pragma once
// The 900 ms rhythm every command keeps: something is sent at once and then every 900 ms on an
// absolute schedule (so the period does not drift), and replies are taken in between.
#include <chrono>
#include <functional>

#include "net/wire.h"

namespace quillctl {

inline constexpr std::chrono::milliseconds kSendPeriod{900};

enum class PaceEnd { Stopped, Deadline, Interrupted };

struct PaceSteps {
    // Called at the start and every 900 ms after; returns false to stop there (before sending).
    std::function<bool(Clock::time_point now)> onTick;
    // Called for every reply.
    std::function<void(const Arrival&)> onReply;
    // Called after each batch of replies; returns false to stop at once.
    std::function<bool()> keepGoing;
};

// Runs until a step stops it, `deadline` passes or the run is interrupted. A tick that falls exactly on
// the deadline is not run.
PaceEnd RunPaced(Wire& wire, Clock::time_point deadline, const PaceSteps& steps);

} // namespace quillctl
