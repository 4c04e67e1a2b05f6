#include "search.h"

#include "exit_status.h"
#include "wire_protocol.h"

namespace quillctl {

Search::Search(Wire& wire, const std::vector<Link>& links, std::ostream& err)
    : wire_(wire), links_(links), err_(err), sendWarnings_(links, err) {}

void Search::SendSearches() {
    std::span<const uint8_t> request(quillmast::kSearchRequest, quillmast::kSearchRequestSize);
    for (size_t link = 0; link < links_.size(); ++link)
        sendWarnings_.Note(link, wire_.Send(link, request), "search");
}

void Search::Take(const Arrival& arrival,
                  const std::function<void(const FoundDevice&, DeviceChange)>& onChange) {
    std::optional<size_t> link = ArrivalLink(links_, arrival.facts);
    if (!link)
        return;
    quillmast::DeviceReply reply = quillmast::ParseDeviceReply(arrival.bytes.data(), arrival.bytes.size());
    DeviceChange change = list_.Apply(reply, *link, arrival.facts.source);
    if (change == DeviceChange::Full && !fullWarned_) {
        fullWarned_ = true;
        err_ << "quillctl: warning: more than " << kMaxFoundDevices
             << " devices answered; the others are not listed\n";
    }
    if ((change == DeviceChange::Added || change == DeviceChange::Changed) && onChange) {
        Mac mac;
        std::copy(std::begin(reply.mac), std::end(reply.mac), mac.begin());
        onChange(*list_.Find(mac), change);
    }
}

PaceEnd Search::Run(const SearchRules& rules) {
    PaceSteps steps;
    steps.onTick = [&](Clock::time_point) {
        if (rules.doneAtTick && rules.doneAtTick(list_))
            return false;
        SendSearches();
        return true;
    };
    steps.onReply = [&](const Arrival& arrival) { Take(arrival, rules.onChange); };
    steps.keepGoing = [&] { return !(rules.doneNow && rules.doneNow(list_)); };
    return RunPaced(wire_, rules.deadline, steps);
}

void Search::RequireSent() const {
    if (!sendWarnings_.anySent())
        throw CommandError(kExitFailure, "no search could be sent: " + sendWarnings_.lastError());
}

} // namespace quillctl
