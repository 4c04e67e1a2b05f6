#pragma once
// How both platforms' sockets wait for replies: in slices short enough that an interruption is seen
// promptly, until the socket is readable or the time is up.
#include <chrono>
#include <functional>

#include "net/ipv4.h"
#include "net/wire.h"

namespace quillctl {

// The group every datagram goes to, as a number.
Ipv4 DiscoveryGroup();
// WS-Discovery's group, 239.255.255.250.
Ipv4 OnvifGroup();
// A whole burst of answers (hundreds of devices at once) must fit while we are busy printing.
inline constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;
// Datagrams taken per wake-up before the caller gets to look at the clock again.
inline constexpr int kDrainBatch = 4096;
// A socket is read for this long at most at a time, and never past the caller's `until`: under a flood
// a batch could take seconds, and the other sockets, the next tick and the deadline would wait for it.
inline constexpr std::chrono::milliseconds kDrainSlice{50};

// When the draining of one socket that starts now has to end.
Clock::time_point DrainEnd(Clock::time_point until);

// `waitReadable(ms)` waits at most ms milliseconds: > 0 when the socket is readable, 0 on time-out,
// < 0 on an interrupted or failed wait. Returns true when the socket became readable.
bool WaitForReplies(Clock::time_point until, const std::function<bool()>& interrupted,
                    const std::function<int(int milliseconds)>& waitReadable);

} // namespace quillctl
