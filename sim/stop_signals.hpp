#pragma once

#include <csignal>

namespace quillsim {

// SIGINT and SIGTERM end the run cleanly. They are blocked except while the loop waits in ppoll, so a signal
// can never slip in between checking the flag and starting to wait.
class StopSignals {
  public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The signal mask to wait with: the one the process had before.
    const sigset_t* wait_mask() const { return &previous_; }
    bool stop_requested() const;

  private:
    sigset_t previous_{};
};

} // namespace quillsim
