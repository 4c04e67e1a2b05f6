#pragma once

#include "base/sim_clock.hpp"

#include <chrono>

namespace quillsim {

// The real clocks, read only by the loops that drive the simulator: the monotonic one decides when things
// happen, the wall clock stamps the log lines.
inline Millis monotonic_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

inline double wall_seconds() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

} // namespace quillsim
