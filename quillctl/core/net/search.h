#pragma once
// Searching: the 19-byte search multicast on every link every 900 ms, and every reply read into the
// device list with the link it arrived on; where asked, a WS-Discovery probe beside it, at the same
// ticks on the same links.
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "net/device_list.h"
#include "net/links.h"
#include "net/pacer.h"
#include "net/send_warning.h"
#include "net/wire.h"

namespace quillctl {

// Another protocol's search beside ours, at the same ticks on the same links: WS-Discovery's
// (onvif/onvif_search.h). It is handed every datagram that came in on its channel.
class ProbeSearch {
  public:
    virtual ~ProbeSearch() = default;
    virtual void SendProbes() = 0;
    // Takes one datagram that arrived on `link`.
    virtual void Take(const Arrival& arrival, size_t link, DeviceList& list,
                      const std::function<void(DeviceChange, int number)>& onChange) = 0;
    // The messages not taken, by reason; empty when none was.
    virtual std::string IgnoredSummary() const = 0;
};

// Makes the probe search for a search's wire and links; its sends are noted with the search's own
// warnings, so a link that takes no datagram is named once for both protocols.
using ProbeSearchMaker = std::function<std::unique_ptr<ProbeSearch>(
    Wire& wire, const std::vector<Link>& links, SendWarnings& warnings)>;

struct SearchProtocols {
    bool quill = true;
    ProbeSearchMaker onvif; // none: no WS-Discovery probe
};

struct SearchRules {
    Clock::time_point deadline;
    // After each batch of replies: true ends the search at once (enough devices, the device sought).
    std::function<bool(const DeviceList&)> doneNow;
    // At each 900 ms tick: true ends the search there instead of searching again. A command that
    // follows a search starts at that tick, so every device that answered the last search is known.
    std::function<bool(const DeviceList&)> doneAtTick;
    // Whenever a device is added or changed (or said Bye), with its number.
    std::function<void(int number)> onChange;
};

class Search {
  public:
    // Warnings (a link on which a search could not be sent, a full list) go to `err`, once each.
    Search(Wire& wire, const std::vector<Link>& links, std::ostream& err, SearchProtocols protocols = {});

    PaceEnd Run(const SearchRules& rules);

    const DeviceList& list() const { return list_; }

    // Takes one reply: a reply from a link we do not search on is dropped.
    void Take(const Arrival& arrival, const std::function<void(int)>& onChange);

    // Throws a CommandError (exit 1) when not one search went out on any link.
    void RequireSent() const;

    // Our searches went out and not one datagram came back, not even a stray one: something on this
    // host may be dropping them. Says so on `err` with the platform's hint (Host::NoReplyHint), if any.
    void HintIfSilent(const std::string& hint) const;

    // The WS-Discovery messages not taken, by reason; empty when none (or no probe was sent).
    std::string IgnoredSummary() const { return onvif_ ? onvif_->IgnoredSummary() : std::string(); }

  private:
    void SendSearches();
    void NoteChange(DeviceChange change, int number, const std::function<void(int)>& onChange);

    Wire& wire_;
    const std::vector<Link>& links_;
    std::ostream& err_;
    DeviceList list_;
    SendWarnings sendWarnings_;
    bool quill_;
    std::unique_ptr<ProbeSearch> onvif_;
    bool fullWarned_ = false;
    bool heardAny_ = false;
};

} // namespace quillctl
