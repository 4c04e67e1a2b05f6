#pragma once
// apply's live line on a terminal: "confirmed 12, waiting 52, failed 0, 1.8 s", rewritten in place.
// Off a terminal it writes nothing, so logs and pipes get only the result.
#include <ostream>

#include "plan/change_run.h"

namespace quillctl {

class ProgressLine {
  public:
    ProgressLine(std::ostream& err, bool onTerminal) : err_(err), onTerminal_(onTerminal) {}
    ~ProgressLine() { Clear(); }

    void Show(const ChangeCounts& counts, double seconds);
    // Removes the line, so what follows starts on a clean line.
    void Clear();

  private:
    std::ostream& err_;
    bool onTerminal_;
    size_t shownLength_ = 0;
};

} // namespace quillctl
