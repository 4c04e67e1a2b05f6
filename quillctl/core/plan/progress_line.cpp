#include "plan/progress_line.h"

#include <cstdio>
#include <string>

namespace quillctl {

void ProgressLine::Show(const ChangeCounts& counts, double seconds) {
    if (!onTerminal_)
        return;
    char text[96];
    int n = std::snprintf(text, sizeof(text), "confirmed %d, waiting %d, failed %d, %.1f s", counts.confirmed,
                          counts.waiting, counts.failed, seconds);
    size_t length = n > 0 ? static_cast<size_t>(n) : 0;
    std::string line = "\r" + std::string(text, length);
    if (shownLength_ > length)
        line += std::string(shownLength_ - length, ' ');
    shownLength_ = length;
    err_ << line << std::flush;
}

void ProgressLine::Clear() {
    if (!onTerminal_ || shownLength_ == 0)
        return;
    err_ << '\r' << std::string(shownLength_, ' ') << '\r' << std::flush;
    shownLength_ = 0;
}

} // namespace quillctl
