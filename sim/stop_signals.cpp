#include "stop_signals.hpp"

namespace quillsim {

namespace {

volatile std::sig_atomic_t g_stop = 0;

void on_stop_signal(int) { g_stop = 1; }

} // namespace

StopSignals::StopSignals() {
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    sigset_t stop_set;
    sigemptyset(&stop_set);
    sigaddset(&stop_set, SIGINT);
    sigaddset(&stop_set, SIGTERM);
    sigprocmask(SIG_BLOCK, &stop_set, &previous_);
    // The waits must let the stop signals through even if they were blocked when we started.
    sigdelset(&previous_, SIGINT);
    sigdelset(&previous_, SIGTERM);
}

StopSignals::~StopSignals() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }

bool StopSignals::stop_requested() const { return g_stop != 0; }

} // namespace quillsim
