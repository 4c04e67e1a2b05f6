#include "net/reply_wait.h"

#include <algorithm>

#include "wire_protocol.h"

namespace quillctl {

namespace {

// Longest single wait: a Ctrl-C that comes just before a wait starts is seen this late at most.
constexpr long long kLongestWaitMs = 200;

} // namespace

Ipv4 DiscoveryGroup() { return *ParseIpv4(quillmast::DISCOVERY_GROUP); }

Ipv4 OnvifGroup() { return *ParseIpv4(kOnvifGroup); }

Clock::time_point DrainEnd(Clock::time_point until) { return std::min(until, Clock::now() + kDrainSlice); }

bool WaitForReplies(Clock::time_point until, const std::function<bool()>& interrupted,
                    const std::function<int(int milliseconds)>& waitReadable) {
    for (;;) {
        if (interrupted())
            return false;
        Clock::time_point now = Clock::now();
        if (now >= until)
            return false;
        long long left = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
        if (waitReadable(static_cast<int>(std::min(left, kLongestWaitMs))) > 0)
            return true;
    }
}

} // namespace quillctl
