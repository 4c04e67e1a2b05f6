#include "change_run.h"

#include <cstring>

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

ChangeRun::ChangeRun(Wire& wire, const std::vector<Link>& links, std::vector<ChangeItem>& items,
                     std::ostream& err)
    : wire_(wire), links_(links), items_(items), sendWarnings_(links, err) {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].status == ChangeStatus::Waiting)
            waitingByMac_.emplace(std::pair{items_[i].mac, items_[i].link}, i);
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

void ChangeRun::SendCommands() {
    for (const auto& [place, index] : waitingByMac_) {
        const ChangeItem& item = items_[index];
        uint8_t command[quillmast::kChangeIpCommandSize] = {};
        quillmast::InitChangeIpCommandHead(command);
        uint8_t rawMac[quillmast::kMacSize];
        std::memcpy(rawMac, item.mac.data(), sizeof(rawMac));
        quillmast::WriteChangeIpTarget(command, rawMac, item.newIp.c_str());
        sendWarnings_.Note(item.link, wire_.Send(item.link, command), "change command");
    }
}

void ChangeRun::Take(const Arrival& arrival) {
    std::optional<size_t> link = ArrivalLink(links_, arrival.facts);
    if (arrival.channel != Channel::Quill || !link)
        return;
    quillmast::DeviceReply reply = quillmast::ParseDeviceReply(arrival.bytes.data(), arrival.bytes.size());
    if (!reply.hasMac)
        return;
    Mac mac;
    std::memcpy(mac.data(), reply.mac, mac.size());
    auto waiting = waitingByMac_.find({mac, *link});
    if (waiting == waitingByMac_.end())
        return;
    ChangeItem& item = items_[waiting->second];
    std::string ipText(reply.ip, strnlen(reply.ip, sizeof(reply.ip)));
    // Still the old address: the device has not taken the new one yet.
    if (ipText == item.oldIp)
        return;
    item.gotIp = ipText;
    item.status = ipText == item.newIp ? ChangeStatus::Confirmed : ChangeStatus::Other;
    item.seconds = std::chrono::duration<double>(wire_.Now() - start_).count();
    waitingByMac_.erase(waiting);
}

PaceEnd ChangeRun::Run(Clock::duration wait,
                       const std::function<void(const ChangeCounts&, double seconds)>& onProgress) {
    start_ = wire_.Now();
    auto elapsed = [&] { return std::chrono::duration<double>(wire_.Now() - start_).count(); };
    auto report = [&] {
        if (onProgress)
            onProgress(Counts(), elapsed());
    };
    PaceSteps steps;
    steps.onTick = [&](Clock::time_point) {
        SendCommands();
        report();
        return true;
    };
    size_t lastWaiting = waitingByMac_.size();
    steps.onReply = [&](const Arrival& arrival) { Take(arrival); };
    steps.keepGoing = [&] {
        if (waitingByMac_.size() != lastWaiting) {
            lastWaiting = waitingByMac_.size();
            report();
        }
        return !waitingByMac_.empty();
    };
    PaceEnd end = waitingByMac_.empty() ? PaceEnd::Stopped : RunPaced(wire_, start_ + wait, steps);
    double seconds = elapsed();
    for (const auto& [place, index] : waitingByMac_) {
        items_[index].status = ChangeStatus::Failed;
        items_[index].seconds = seconds;
    }
    waitingByMac_.clear();
    report();
    return end;
}

} // namespace quillctl
