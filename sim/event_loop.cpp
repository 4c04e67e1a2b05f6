#include "event_loop.hpp"

#include "log_events.hpp"
#include "real_clocks.hpp"
#include "send_gate.hpp"

#include <algorithm>
#include <ctime>
#include <poll.h>
#include <vector>

namespace quillsim {

namespace {

// Bounds on one turn of the loop, so that a burst of 10000 answers does not starve the receiving side and
// a flood of requests does not starve the sending side.
constexpr int kMaxSendsPerTurn = 512;
constexpr int kMaxReceivesPerTurn = 256;
constexpr Millis kSendRetryMs = 1;

class Loop {
  public:
    explicit Loop(LoopParts& parts) : parts_(parts) {}

    void run() {
        const Millis start = monotonic_ms();
        const std::optional<Millis> deadline =
            parts_.run_for ? std::optional<Millis>(start + *parts_.run_for) : std::nullopt;
        parts_.fleet.start_moves(start);
        if (!parts_.raw.payloads.empty() && !parts_.raw_on_search) {
            schedule_raw(parts_.raw, start, queue_);
        }
        while (!parts_.signals.stop_requested()) {
            Millis now = monotonic_ms();
            if (deadline && now >= *deadline) {
                break;
            }
            log_changes(parts_.fleet.apply_due_changes(now));
            if (parts_.services != nullptr) {
                parts_.services->advance(now, queue_);
            }
            const std::optional<Millis> send_wake = send_due(now);
            std::optional<Millis> wake = earliest(send_wake, parts_.fleet.next_change_due());
            if (parts_.services != nullptr) {
                wake = earliest(wake, parts_.services->next_due());
            }
            wake = earliest(wake, deadline);
            wait(now, wake);
        }
    }

  private:
    static std::optional<Millis> earliest(std::optional<Millis> a, std::optional<Millis> b) {
        if (!a) {
            return b;
        }
        if (!b) {
            return a;
        }
        return std::min(*a, *b);
    }

    void log_changes(const std::vector<DeviceAddressChange>& changes) {
        for (const auto& change : changes) {
            parts_.log.write(changed_line(wall_seconds(), change));
        }
    }

    // Sends what is due; returns when the loop must next look at the queue.
    std::optional<Millis> send_due(Millis now) {
        for (int sent = 0; sent < kMaxSendsPerTurn;) {
            const OutgoingDatagram* datagram = queue_.peek_due(now);
            if (datagram == nullptr) {
                return queue_.next_due();
            }
            UdpEndpoint& udp = is_onvif(datagram->kind) ? *parts_.onvif_udp : parts_.udp;
            if (deliver(udp, *datagram, parts_.log) == Delivery::retry_later) {
                return now + kSendRetryMs;
            }
            ++sent;
            queue_.pop();
        }
        return now; // more may be due: come straight back after a look at the socket
    }

    void wait(Millis now, std::optional<Millis> wake) {
        std::vector<pollfd> fds{pollfd{parts_.udp.fd(), POLLIN, 0}};
        if (parts_.onvif_udp != nullptr) {
            fds.push_back(pollfd{parts_.onvif_udp->fd(), POLLIN, 0});
        }
        const std::size_t first_http = fds.size();
        if (parts_.http != nullptr) {
            const auto http_fds = parts_.http->poll_fds();
            fds.insert(fds.end(), http_fds.begin(), http_fds.end());
        }
        const std::size_t first_service = fds.size();
        if (parts_.services != nullptr) {
            const auto service_fds = parts_.services->poll_fds();
            fds.insert(fds.end(), service_fds.begin(), service_fds.end());
        }
        timespec timeout{};
        const timespec* timeout_ptr = nullptr;
        if (wake) {
            const Millis wait_ms = std::max<Millis>(0, *wake - now);
            timeout.tv_sec = static_cast<std::time_t>(wait_ms / 1000);
            timeout.tv_nsec = static_cast<long>(wait_ms % 1000) * 1000000L;
            timeout_ptr = &timeout;
        }
        if (ppoll(fds.data(), fds.size(), timeout_ptr, parts_.signals.wait_mask()) <= 0) {
            return; // time-out, or a stop signal that the loop sees next
        }
        if (fds[0].revents & POLLIN) {
            receive_requests();
        }
        if (parts_.onvif_udp != nullptr && (fds[1].revents & POLLIN)) {
            receive_discovery();
        }
        if (parts_.http != nullptr) {
            parts_.http->handle(std::span<const pollfd>(fds).subspan(first_http, first_service - first_http));
        }
        if (parts_.services != nullptr) {
            parts_.services->handle(std::span<const pollfd>(fds).subspan(first_service), monotonic_ms());
        }
    }

    void receive_requests() {
        for (int received = 0; received < kMaxReceivesPerTurn; ++received) {
            const auto datagram = parts_.udp.receive();
            if (!datagram) {
                return;
            }
            const Millis now = monotonic_ms();
            const ClassifiedRequest request = classify_request(datagram->bytes);
            parts_.log.write(received_line(wall_seconds(), *datagram, request));
            log_changes(parts_.fleet.on_request(request, datagram->source, now, queue_));
            if (request.kind == RequestKind::search && parts_.raw_on_search) {
                schedule_raw(parts_.raw, now, queue_);
            }
        }
    }

    // Datagrams on the WS-Discovery port; without cameras (only --onvif-raw-file) the fleet is empty.
    void receive_discovery() {
        for (int received = 0; received < kMaxReceivesPerTurn; ++received) {
            const auto datagram = parts_.onvif_udp->receive();
            if (!datagram) {
                return;
            }
            const OnvifReception reception = parts_.onvif->on_datagram(*datagram, monotonic_ms(), queue_);
            parts_.log.write(onvif_received_line(wall_seconds(), *datagram, reception));
            for (const auto& drop : reception.dropped) {
                parts_.log.write(onvif_dropped_line(wall_seconds(), drop));
            }
        }
    }

    LoopParts& parts_;
    OutgoingQueue queue_;
};

} // namespace

void run_event_loop(LoopParts& parts) { Loop(parts).run(); }

} // namespace quillsim
