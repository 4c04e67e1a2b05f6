#include "flood_sender.hpp"

#include "log_events.hpp"
#include "real_clocks.hpp"
#include "safety_rules.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <poll.h>

namespace quillsim {

namespace {

// How often the send loop lets a pending stop signal in (they are blocked outside ppoll).
constexpr std::uint64_t kSendsPerSignalCheck = 1024;

// Waits until the socket can take a datagram again, or a stop signal or `timeout_ms` passes; with fd -1
// only for the signal or the time.
void wait_writable(int fd, const StopSignals& signals, int timeout_ms) {
    pollfd entry{fd, POLLOUT, 0};
    const timespec timeout{timeout_ms / 1000, static_cast<long>(timeout_ms % 1000) * 1000000L};
    ppoll(&entry, 1, &timeout, signals.wait_mask());
}

} // namespace

bool run_flood(UdpEndpoint& udp, const FloodPlan& plan, const StopSignals& signals, LogSink& log) {
    if (!is_allowed_destination(plan.to.address)) {
        return false; // checked with the options already; kept here so no caller can skip it
    }
    FloodTally tally;
    const Millis start = monotonic_ms();
    const Millis deadline = start + plan.run_for;
    bool failed = false;
    OutgoingDatagram datagram;
    datagram.to = plan.to;
    datagram.kind = OutgoingKind::raw;
    for (std::uint64_t turn = 0; !failed && !signals.stop_requested() && monotonic_ms() < deadline; ++turn) {
        if (plan.rate > 0) {
            // Ahead of the rate: wait until this datagram is due (a late one goes at once).
            const Millis due = start + static_cast<Millis>(turn * 1000 / plan.rate);
            if (const Millis now = monotonic_ms(); now < due) {
                wait_writable(-1, signals, static_cast<int>(due - now));
            }
        }
        FloodDatagram next = plan.next();
        datagram.bytes = std::move(next.bytes);
        for (;;) {
            int error = 0;
            const auto result = udp.send(datagram, error);
            if (result == UdpEndpoint::SendResult::sent) {
                ++tally.sent[static_cast<std::size_t>(next.kind)];
                tally.bytes += datagram.bytes.size();
                break;
            }
            if (result == UdpEndpoint::SendResult::failed) {
                // A refused datagram (the receiver's port closed for a moment) is counted, not fatal.
                ++tally.errors;
                failed = error != ECONNREFUSED;
                if (failed) {
                    std::fprintf(stderr, "quillsim: flood send failed: %s\n", std::strerror(error));
                }
                break;
            }
            wait_writable(udp.fd(), signals, 10);
            if (signals.stop_requested() || monotonic_ms() >= deadline) {
                break;
            }
        }
        if (turn % kSendsPerSignalCheck == 0) {
            wait_writable(udp.fd(), signals, 0);
        }
    }
    const double seconds = static_cast<double>(monotonic_ms() - start) / 1000.0;
    log.write(flood_line(wall_seconds(), plan.to, tally, seconds));
    const auto total = std::accumulate(tally.sent.begin(), tally.sent.end(), std::uint64_t{0});
    std::fprintf(stderr, "quillsim: flood sent %llu datagrams (%llu bytes) in %.1f s, %llu errors\n",
                 static_cast<unsigned long long>(total), static_cast<unsigned long long>(tally.bytes),
                 seconds, static_cast<unsigned long long>(tally.errors));
    return !failed;
}

} // namespace quillsim
