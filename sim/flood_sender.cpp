#include "flood_sender.hpp"

#include "json_line.hpp"
#include "safety_rules.hpp"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <poll.h>

namespace quillsim {

namespace {

// How often the send loop lets a pending stop signal in (they are blocked outside ppoll).
constexpr std::uint64_t kSendsPerSignalCheck = 1024;

struct FloodTally {
    std::array<std::uint64_t, kFloodKindCount> sent{};
    std::uint64_t bytes = 0;
    std::uint64_t errors = 0;
};

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double wall_seconds() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

// Waits until the socket can take a datagram again, or a stop signal or `timeout_ms` passes.
void wait_writable(int fd, const StopSignals& signals, int timeout_ms) {
    pollfd entry{fd, POLLOUT, 0};
    const timespec timeout{0, static_cast<long>(timeout_ms) * 1000000L};
    ppoll(&entry, 1, &timeout, signals.wait_mask());
}

void log_summary(LogSink& log, const FloodPlan& plan, const FloodTally& tally, double seconds) {
    JsonLine line;
    line.seconds("t", wall_seconds())
        .text("kind", "flood")
        .text("dst", format_ipv4(plan.to.address))
        .number("dport", plan.to.port)
        .seconds("seconds", seconds)
        .number("bytes", static_cast<std::int64_t>(tally.bytes))
        .number("errors", static_cast<std::int64_t>(tally.errors));
    std::uint64_t total = 0;
    for (std::size_t kind = 0; kind < kFloodKindCount; ++kind) {
        line.number(flood_kind_name(static_cast<FloodKind>(kind)),
                    static_cast<std::int64_t>(tally.sent[kind]));
        total += tally.sent[kind];
    }
    line.number("sent", static_cast<std::int64_t>(total));
    log.write(line.str());
    std::fprintf(stderr, "quillsim: flood sent %llu datagrams (%llu bytes) in %.1f s, %llu errors\n",
                 static_cast<unsigned long long>(total), static_cast<unsigned long long>(tally.bytes),
                 seconds, static_cast<unsigned long long>(tally.errors));
}

} // namespace

bool run_flood(UdpEndpoint& udp, const FloodPlan& plan, const StopSignals& signals, LogSink& log) {
    if (!is_allowed_destination(plan.to.address)) {
        return false; // checked with the options already; kept here so no caller can skip it
    }
    FloodMix mix(plan.seed);
    FloodTally tally;
    const auto start = std::chrono::steady_clock::now();
    const double run_for_s = static_cast<double>(plan.run_for) / 1000.0;
    bool failed = false;
    OutgoingDatagram datagram;
    datagram.to = plan.to;
    datagram.kind = OutgoingKind::raw;
    for (std::uint64_t turn = 0; !failed && !signals.stop_requested() && seconds_since(start) < run_for_s;
         ++turn) {
        FloodDatagram next = mix.next();
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
            if (signals.stop_requested() || seconds_since(start) >= run_for_s) {
                break;
            }
        }
        if (turn % kSendsPerSignalCheck == 0) {
            wait_writable(udp.fd(), signals, 0);
        }
    }
    log_summary(log, plan, tally, seconds_since(start));
    return !failed;
}

} // namespace quillsim
