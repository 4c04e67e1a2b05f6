#include "onvif/bounded_workers.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace quillctl::onvif {

void ForEachBounded(size_t count, size_t bound, const std::function<void(size_t)>& work) {
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t index = next++; index < count; index = next++)
            work(index);
    };
    std::vector<std::thread> threads;
    size_t extra = std::min(count, std::max<size_t>(bound, 1)) - std::min<size_t>(count, 1);
    for (size_t i = 0; i < extra; ++i)
        threads.emplace_back(worker);
    worker();
    for (std::thread& thread : threads)
        thread.join();
}

} // namespace quillctl::onvif
