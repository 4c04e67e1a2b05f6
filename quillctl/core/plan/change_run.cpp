#include "plan/change_run.h"

#include <algorithm>
#include <cstring>

#include "net/text_escape.h"
#include "plan/camera_work.h"
#include "wire_protocol.h"

namespace quillctl {

const char* StatusName(ChangeStatus status) {
    switch (status) {
    case ChangeStatus::Waiting:
        return "waiting";
    case ChangeStatus::Confirmed:
        return "confirmed";
    case ChangeStatus::Other:
        return "other";
    case ChangeStatus::Failed:
        return "failed";
    case ChangeStatus::Skipped:
        return "skipped";
    }
    return "?";
}

std::string DeviceName(const ChangeItem& item) {
    if (item.camera && item.mac == Mac{})
        return EscapeText(item.camera->endpoint);
    return MacText(item.mac);
}

std::vector<ChangeStep> AllAtOnce(const std::vector<ChangeItem>& items) {
    std::vector<ChangeStep> steps;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].status == ChangeStatus::Waiting)
            steps.push_back(ChangeStep{i, ParseIpv4(items[i].newIp).value_or(Ipv4{}), false, {}});
    return steps;
}

ChangeRun::ChangeRun(Wire& wire, const std::vector<Link>& links, std::vector<ChangeItem>& items,
                     std::vector<ChangeStep> steps, std::ostream& err)
    : wire_(wire), links_(links), items_(items), steps_(std::move(steps)),
      phase_(steps_.size(), Phase::Blocked), firstSent_(steps_.size()), itemStart_(items_.size()),
      reachedIp_(items_.size()), sendWarnings_(links, err), cameraXaddr_(items_.size()),
      probeWarnings_(links, err) {
    for (size_t index = 0; index < items_.size(); ++index)
        if (items_[index].camera)
            cameraXaddr_[index] = items_[index].camera->xaddr;
}

ChangeCounts ChangeRun::Counts() const {
    ChangeCounts counts;
    for (const ChangeItem& item : items_) {
        if (item.status == ChangeStatus::Confirmed)
            ++counts.confirmed;
        else if (item.status == ChangeStatus::Waiting)
            ++counts.waiting;
        else if (item.status != ChangeStatus::Skipped)
            ++counts.failed;
    }
    return counts;
}

double ChangeRun::SecondsOf(size_t item) const {
    if (items_[item].sends == 0)
        return 0.0;
    return std::chrono::duration<double>(wire_.Now() - itemStart_[item]).count();
}

void ChangeRun::Send(size_t step) {
    const ChangeStep& change = steps_[step];
    ChangeItem& item = items_[change.item];
    uint8_t command[quillmast::kChangeIpCommandSize] = {};
    quillmast::InitChangeIpCommandHead(command);
    uint8_t rawMac[quillmast::kMacSize];
    std::memcpy(rawMac, item.mac.data(), sizeof(rawMac));
    quillmast::WriteChangeIpTarget(command, rawMac, FormatIpv4(change.target).c_str());
    std::string error = wire_.Send(item.link, command);
    sendWarnings_.Note(item.link, error, "change command");
    if (error.empty() && item.sends++ == 0)
        itemStart_[change.item] = wire_.Now();
}

void ChangeRun::SendAll() {
    for (const auto& [place, step] : sendingByMac_)
        Send(step);
}

// Every blocked step whose predecessors are all confirmed goes out now, not at the next tick: a chain
// of changes then takes one round trip a link, not one period.
void ChangeRun::StartReady() {
    for (size_t step = 0; step < steps_.size(); ++step) {
        if (phase_[step] != Phase::Blocked)
            continue;
        bool ready = true;
        for (size_t before : steps_[step].after)
            ready = ready && phase_[before] == Phase::Confirmed;
        if (!ready)
            continue;
        phase_[step] = Phase::Sending;
        firstSent_[step] = wire_.Now();
        if (IsCamera(step)) {
            StartCamera(step);
            continue;
        }
        sendingByMac_[{items_[steps_[step].item].mac, items_[steps_[step].item].link}] = step;
        Send(step);
    }
}

// Ends a step that was not confirmed, and with it every step behind it, which is then never sent.
void ChangeRun::EndStep(size_t step, ChangeStatus status, const std::string& detail) {
    phase_[step] = Phase::Ended;
    ChangeItem& item = items_[steps_[step].item];
    if (IsCamera(step))
        RetireCamera(step);
    else
        sendingByMac_.erase({item.mac, item.link});
    if (item.status == ChangeStatus::Waiting) {
        item.status = status;
        item.detail = detail;
        item.seconds = SecondsOf(steps_[step].item);
        // Parked on the way: that address is where it is now, not the one asked for.
        if (status == ChangeStatus::Skipped && !reachedIp_[steps_[step].item].empty()) {
            item.status = ChangeStatus::Other;
            item.gotIp = reachedIp_[steps_[step].item];
        }
    }
    for (size_t behind = 0; behind < steps_.size(); ++behind) {
        if (phase_[behind] != Phase::Blocked)
            continue;
        for (size_t before : steps_[behind].after)
            if (before == step) {
                EndStep(behind, ChangeStatus::Skipped,
                        "unsent: waits for " + MacText(item.mac) + " to leave " +
                            FormatIpv4(steps_[behind].target) + ", which it did not confirm");
                break;
            }
    }
}

Clock::duration ChangeRun::WaitOf(size_t step, Clock::duration wait) const {
    return IsCamera(step) && cameras_ ? cameras_->wait : wait;
}

void ChangeRun::Expire(Clock::time_point now, Clock::duration wait) {
    for (size_t step = 0; step < steps_.size(); ++step)
        if (phase_[step] == Phase::Sending && now - firstSent_[step] >= WaitOf(step, wait))
            EndStep(step, ChangeStatus::Failed, "unconfirmed");
}

// The step's device is at its target: the change is done, or it has reached its stop on the way.
void ChangeRun::Confirm(size_t step, const std::string& gotIp) {
    const size_t index = steps_[step].item;
    ChangeItem& item = items_[index];
    phase_[step] = Phase::Confirmed;
    if (steps_[step].parking) {
        reachedIp_[index] = gotIp;
    } else {
        item.gotIp = gotIp;
        item.status = ChangeStatus::Confirmed;
        item.seconds = SecondsOf(index);
    }
    StartReady();
}

void ChangeRun::Take(const Arrival& arrival) {
    std::optional<size_t> link = ArrivalLink(links_, arrival.facts);
    if (!link)
        return;
    if (arrival.channel == Channel::Onvif) {
        TakeCamera(arrival, *link);
        return;
    }
    quillmast::DeviceReply reply = quillmast::ParseDeviceReply(arrival.bytes.data(), arrival.bytes.size());
    if (!reply.hasMac)
        return;
    Mac mac;
    std::memcpy(mac.data(), reply.mac, mac.size());
    auto sending = sendingByMac_.find({mac, *link});
    if (sending == sendingByMac_.end())
        return;
    const size_t step = sending->second;
    const size_t index = steps_[step].item;
    ChangeItem& item = items_[index];
    std::string ipText(reply.ip, strnlen(reply.ip, sizeof(reply.ip)));
    // Only a dotted address other than where the device was says it moved: any other text (none, a
    // name) names no address, and the old one means it has not taken the new one yet.
    if (!ParseIpv4(ipText) || ipText == item.oldIp || ipText == reachedIp_[index])
        return;
    const std::string target = FormatIpv4(steps_[step].target);
    if (ipText != target) {
        item.gotIp = ipText;
        EndStep(step, ChangeStatus::Other, "");
        return;
    }
    sendingByMac_.erase(sending);
    Confirm(step, ipText);
}

PaceEnd ChangeRun::Run(Clock::duration wait,
                       const std::function<void(const ChangeCounts&, double seconds)>& onProgress) {
    start_ = wire_.Now();
    auto elapsed = [&] { return std::chrono::duration<double>(wire_.Now() - start_).count(); };
    auto report = [&] {
        if (onProgress)
            onProgress(Counts(), elapsed());
    };
    // Each step has the whole wait from its own first command: a chain may take one wait per link.
    const Clock::duration longest = cameras_ ? std::max(wait, cameras_->wait) : wait;
    std::vector<size_t> depth(steps_.size(), 1);
    size_t deepest = 0;
    for (size_t step = 0; step < steps_.size(); ++step) {
        for (size_t before : steps_[step].after)
            depth[step] = std::max(depth[step], depth[before] + 1);
        deepest = std::max(deepest, depth[step]);
    }
    auto settled = [&] {
        for (Phase phase : phase_)
            if (phase == Phase::Blocked || phase == Phase::Sending)
                return false;
        return true;
    };
    bool started = false;
    PaceSteps paced;
    paced.onTick = [&](Clock::time_point now) {
        if (!started) {
            started = true;
            StartReady();
        } else {
            PollCameras();
            Expire(now, wait);
            SendAll();
            if (AwaitingCameras())
                cameraProbes_->SendProbes();
        }
        report();
        return !settled();
    };
    ChangeCounts last = Counts();
    paced.onReply = [&](const Arrival& arrival) { Take(arrival); };
    paced.keepGoing = [&] {
        PollCameras();
        ChangeCounts now = Counts();
        if (now.confirmed != last.confirmed || now.waiting != last.waiting || now.failed != last.failed) {
            last = now;
            report();
        }
        return !settled();
    };
    PaceEnd end =
        settled() ? PaceEnd::Stopped : RunPaced(wire_, start_ + longest * static_cast<long>(deepest), paced);
    for (size_t index = 0; index < items_.size(); ++index) {
        ChangeItem& item = items_[index];
        if (item.status != ChangeStatus::Waiting)
            continue;
        item.seconds = SecondsOf(index);
        if (item.sends == 0) {
            item.status = ChangeStatus::Skipped;
            item.detail = end == PaceEnd::Interrupted ? "unsent: interrupted before it was sent" : "unsent";
        } else {
            item.status = ChangeStatus::Failed;
            item.detail = end == PaceEnd::Interrupted && item.camera ? "interrupted: state unknown"
                          : end == PaceEnd::Interrupted
                              ? "interrupted: sent " + std::to_string(item.sends) +
                                    (item.sends == 1 ? " time" : " times") + ", state unknown"
                              : "unconfirmed";
        }
    }
    // A step whose commands all failed to go out asked nothing of the device.
    for (ChangeItem& item : items_)
        if (item.status == ChangeStatus::Failed && item.sends == 0) {
            item.status = ChangeStatus::Skipped;
            item.detail = "unsent: " + (LastSendError().empty() ? std::string("not sent") : LastSendError());
        }
    sendingByMac_.clear();
    report();
    return end;
}

} // namespace quillctl
