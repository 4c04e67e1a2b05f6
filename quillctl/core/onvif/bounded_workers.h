#pragma once
// Work on many cameras at once, at most `bound` at a time: each waits mostly on its camera, so 56
// cameras take about as long as the slowest few.
#include <cstddef>
#include <functional>

namespace quillctl::onvif {

inline constexpr size_t kMaxCamerasAtOnce = 64;

// Calls work(0) .. work(count - 1), each once, from up to `bound` threads; returns when all are done.
// `work` must not throw.
void ForEachBounded(size_t count, size_t bound, const std::function<void(size_t)>& work);

} // namespace quillctl::onvif
