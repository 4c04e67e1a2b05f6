#pragma once
// WS-Discovery beside our own search: a Probe on every link at each tick (a fresh MessageID each), a
// Resolve for a device that answers without its address and is not listed yet (a bounded number per
// round and per sender, so a hostile host cannot make us multicast without end), and every answer read
// into the device list. Only answers to this run's own requests are taken; announcements (Hello, Bye) when
// they come. Whatever is not taken is counted by its reason and summed up at the end, never printed as it
// came.
#include <array>
#include <deque>
#include <map>
#include <functional>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "net/device_list.h"
#include "net/links.h"
#include "net/search.h"
#include "net/send_warning.h"
#include "net/wire.h"
#include "onvif/onvif_facts.h"
#include "onvif/wsd_names.h"
#include "onvif/wsd_reader.h"

namespace quillctl {

// Resolves sent between two probe rounds, in all and for the devices of one sender: a camera (or a
// recorder speaking for a few) needs one each; the rest wait for the next round.
inline constexpr size_t kMaxResolvesPerRound = 64;
inline constexpr size_t kMaxResolvesPerSender = 4;

// A device as the list keeps it, from what a message said and the XAddr chosen for its link.
OnvifDevice OnvifDeviceOf(const wsd::Announcement& device, const HttpXAddr& xaddr, size_t link, Ipv4 source);

class OnvifSearch : public ProbeSearch {
  public:
    OnvifSearch(Wire& wire, const std::vector<Link>& links, std::vector<wsd::TypeName> types,
                SendWarnings& sendWarnings);

    void SendProbes() override;

    // Takes one WS-Discovery datagram that arrived on `link`.
    void Take(const Arrival& arrival, size_t link, DeviceList& list,
              const std::function<void(DeviceChange, int number)>& onChange) override;

    size_t IgnoredCount() const;
    // "ignored 3 WS-Discovery messages: 2 not well-formed XML, 1 with a DOCTYPE"; empty when none was.
    std::string IgnoredSummary() const override;

  private:
    void Remember(const std::string& messageId);
    void Ignore(wsd::Rejection rejection) { ++ignored_[static_cast<size_t>(rejection)]; }
    void Resolve(const std::string& endpoint, size_t link, Ipv4 source, const DeviceList& list);
    void TakeDevice(const wsd::Announcement& device, size_t link, Ipv4 source, DeviceList& list,
                    const std::function<void(DeviceChange, int)>& onChange);

    Wire& wire_;
    const std::vector<Link>& links_;
    std::vector<wsd::TypeName> types_;
    SendWarnings& sendWarnings_;
    std::mt19937_64 random_;
    // The requests of this run, newest last; the oldest are forgotten so a long --watch stays small.
    std::deque<std::string> sentOrder_;
    std::set<std::string> sent_;
    // Endpoints resolved since the last probe (one Resolve per endpoint, link and round is enough), and
    // how many Resolves each sender's answers asked for; both stay within kMaxResolvesPerRound.
    std::set<std::pair<std::string, size_t>> resolvedThisRound_;
    std::map<uint32_t, size_t> resolvesBySender_;
    std::array<size_t, wsd::kRejectionCount> ignored_{};
};

// A search's WS-Discovery probes, asking for `types`.
ProbeSearchMaker OnvifProbes(std::vector<wsd::TypeName> types);
// Asking for network video transmitters: the cameras.
ProbeSearchMaker CameraProbes();

} // namespace quillctl
