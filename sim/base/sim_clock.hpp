#pragma once

#include <cstdint>

namespace quillsim {

// Milliseconds on a monotonic clock. Everything that decides *when* something happens works in this unit, so
// the device logic can be driven by a test with made-up times.
using Millis = std::int64_t;

} // namespace quillsim
