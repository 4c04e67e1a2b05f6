#pragma once
// Changing addresses: each pending device's 41-byte command multicast on its link every 900 ms, all of
// them in the same tick, until its reply carries another address than before or the wait is over. A
// change that must wait for another (its address is still held, see plan_order.h) goes out as soon as
// that one is confirmed; if that one fails, it is not sent at all. Only a reply on the link the command went
// out on counts: the same MAC on another card is another device, or the same device seen there too, and
// neither says what this command did.
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "net/ipv4.h"
#include "net/links.h"
#include "net/mac_argument.h"
#include "net/pacer.h"
#include "net/send_warning.h"
#include "net/wire.h"
#include "onvif/device_client.h"

namespace quillctl {

enum class ChangeStatus {
    Waiting,
    Confirmed, // the device answers with the address asked for
    Other,     // the device answers with another new address
    Failed,    // no new address within the wait
    Skipped,   // nothing sent: the device already has the address, the plan line asks no change, or
               // (with a detail) the command could not go out
};

const char* StatusName(ChangeStatus status);

// A WS-Discovery camera's change goes through its device service (SOAP at its XAddr, with its own
// credentials), not through our command; it is confirmed when the camera, by its endpoint, answers a
// Probe or says Hello with an XAddr at the new address and answers an authenticated
// GetNetworkInterfaces there that holds it.
struct CameraChange {
    std::string endpoint; // Hello and ProbeMatches name the camera by it
    std::string xaddr;    // where its device service answers before the change
    std::optional<onvif::Credentials> credentials;
    std::optional<int> prefixLength; // nothing: the prefix length the camera has now
    std::optional<Ipv4> gateway;     // nothing: its default gateway is left as it is
};

struct ChangeItem {
    Mac mac{}; // a camera's when known (its scopes or its interface), else all zero
    std::optional<CameraChange> camera; // set for a WS-Discovery camera
    size_t link = 0;   // where the command goes out and the confirming reply must arrive
    std::string oldIp; // the address text the device answered with before the change
    std::string newIp; // asked for; empty when the line asks no change
    ChangeStatus status = ChangeStatus::Waiting;
    std::string gotIp;    // the address text of the confirming reply
    double seconds = 0.0; // from the first command to the confirmation (or to the end of the wait)
    // Why a change is not done although it was asked: "unsent" (no command went out: it could not be
    // sent, the run was interrupted first, or a change it waited for failed), "unconfirmed" (sent, no
    // confirmation within the wait), "interrupted" (sent, the run ended before an answer); after the
    // word, ": " and the particulars. Empty otherwise.
    std::string detail;
    bool inSubnet = true; // the new address lies in the subnet of the device's link
    int sends = 0;        // commands that went out for it
};

// How messages and tables name the item's device: its MAC, or a camera whose MAC is not known by its
// endpoint (escaped).
std::string DeviceName(const ChangeItem& item);

// One command's worth of a change: the device of `item` is to take `target`, once every step of
// `after` is confirmed (those devices have left the address, or this device has reached its stop).
struct ChangeStep {
    size_t item = 0;
    Ipv4 target;
    bool parking = false; // a free address on the way to its new one, which another device still holds
    std::vector<size_t> after;
};

// Every waiting item at once: one step each, none waiting for another.
std::vector<ChangeStep> AllAtOnce(const std::vector<ChangeItem>& items);

struct ChangeCounts {
    int confirmed = 0, waiting = 0, failed = 0; // "failed" counts other-address confirmations too
};

class ChangeRun {
  public:
    // `steps` in an order they may go out in (each after those it waits for).
    ChangeRun(Wire& wire, const std::vector<Link>& links, std::vector<ChangeItem>& items,
              std::vector<ChangeStep> steps, std::ostream& err);

    // Runs until every waiting item is settled or the run is interrupted; a step not confirmed within
    // `wait` of its first command fails, and so do the steps behind it. Items still waiting at the end
    // fail (or are skipped, when nothing went out for them). `onProgress` is called at every tick and
    // every settled item.
    PaceEnd Run(Clock::duration wait,
                const std::function<void(const ChangeCounts&, double seconds)>& onProgress);

    ChangeCounts Counts() const;

    // Whether any command went out at all, and the system's last reason when one did not.
    bool AnySent() const { return sendWarnings_.anySent(); }
    const std::string& LastSendError() const { return sendWarnings_.lastError(); }

  private:
    enum class Phase { Blocked, Sending, Confirmed, Ended };
    void Send(size_t step);
    void SendAll();
    void StartReady();
    void Take(const Arrival& arrival);
    void EndStep(size_t step, ChangeStatus status, const std::string& detail);
    void Expire(Clock::time_point now, Clock::duration wait);
    double SecondsOf(size_t item) const;

    Wire& wire_;
    const std::vector<Link>& links_;
    std::vector<ChangeItem>& items_;
    std::vector<ChangeStep> steps_;
    std::vector<Phase> phase_;
    std::vector<Clock::time_point> firstSent_; // by step
    std::vector<Clock::time_point> itemStart_; // by item: its first command
    std::vector<std::string> reachedIp_;       // by item: the parking address it confirmed, if any
    SendWarnings sendWarnings_;
    std::map<std::pair<Mac, size_t>, size_t>
        sendingByMac_; // by MAC and link: the step its commands are for now
    Clock::time_point start_{};
};

} // namespace quillctl
