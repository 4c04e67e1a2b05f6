#pragma once
// Changing addresses: each pending device's 41-byte command multicast on its link every 900 ms, all of
// them in the same tick, until its reply carries another address than before or the wait is over. Only
// a reply on the link the command went out on counts: the same MAC on another card is another device,
// or the same device seen there too, and neither says what this command did.
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "ipv4.h"
#include "links.h"
#include "mac_argument.h"
#include "pacer.h"
#include "send_warning.h"
#include "wire.h"

namespace quillctl {

enum class ChangeStatus {
    Waiting,
    Confirmed, // the device answers with the address asked for
    Other,     // the device answers with another new address
    Failed,    // no new address within the wait
    Skipped,   // nothing sent: the device already has the address, or the plan line asks no change
};

const char* StatusName(ChangeStatus status);

struct ChangeItem {
    Mac mac{};
    size_t link = 0;   // where the command goes out and the confirming reply must arrive
    std::string oldIp; // the address text the device answered with before the change
    std::string newIp; // asked for; empty when the line asks no change
    ChangeStatus status = ChangeStatus::Waiting;
    std::string gotIp;    // the address text of the confirming reply
    double seconds = 0.0; // from the first command to the confirmation (or to the end of the wait)
};

struct ChangeCounts {
    int confirmed = 0, waiting = 0, failed = 0; // "failed" counts other-address confirmations too
};

class ChangeRun {
  public:
    ChangeRun(Wire& wire, const std::vector<Link>& links, std::vector<ChangeItem>& items, std::ostream& err);

    // Runs until every waiting item is settled, `wait` has passed or the run is interrupted; items still
    // waiting then fail. `onProgress` is called at every tick and every settled item.
    PaceEnd Run(Clock::duration wait,
                const std::function<void(const ChangeCounts&, double seconds)>& onProgress);

    ChangeCounts Counts() const;

  private:
    void SendCommands();
    void Take(const Arrival& arrival);

    Wire& wire_;
    const std::vector<Link>& links_;
    std::vector<ChangeItem>& items_;
    SendWarnings sendWarnings_;
    std::map<std::pair<Mac, size_t>, size_t> waitingByMac_; // by MAC and link
    Clock::time_point start_{};
};

} // namespace quillctl
