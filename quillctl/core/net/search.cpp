#include "net/search.h"

#include "net/exit_status.h"
#include "wire_protocol.h"

namespace quillctl {

Search::Search(Wire& wire, const std::vector<Link>& links, std::ostream& err, SearchProtocols protocols)
    : wire_(wire), links_(links), err_(err), sendWarnings_(links, err), quill_(protocols.quill) {
    if (protocols.onvif)
        onvif_ = protocols.onvif(wire, links, sendWarnings_);
}

void Search::SendSearches() {
    if (quill_) {
        std::span<const uint8_t> request(quillmast::kSearchRequest, quillmast::kSearchRequestSize);
        for (size_t link = 0; link < links_.size(); ++link)
            sendWarnings_.Note(link, wire_.Send(link, request), "search");
    }
    if (onvif_)
        onvif_->SendProbes();
}

void Search::NoteChange(DeviceChange change, int number, const std::function<void(int)>& onChange) {
    if (change == DeviceChange::Full && !fullWarned_) {
        fullWarned_ = true;
        err_ << "quillctl: warning: more than " << kMaxFoundDevices
             << " devices answered; the others are not listed\n";
    }
    if ((change == DeviceChange::Added || change == DeviceChange::Changed) && onChange)
        onChange(number);
}

void Search::Take(const Arrival& arrival, const std::function<void(int)>& onChange) {
    std::optional<size_t> link = ArrivalLink(links_, arrival.facts);
    if (!link)
        return;
    heardAny_ = true;
    auto note = [&](DeviceChange change, int number) { NoteChange(change, number, onChange); };
    if (arrival.channel == Channel::Onvif) {
        if (onvif_)
            onvif_->Take(arrival, *link, list_, note);
        return;
    }
    if (!quill_)
        return;
    quillmast::DeviceReply reply = quillmast::ParseDeviceReply(arrival.bytes.data(), arrival.bytes.size());
    DeviceChange change = list_.Apply(reply, *link, arrival.facts.source);
    Mac mac;
    std::copy(std::begin(reply.mac), std::end(reply.mac), mac.begin());
    const FoundDevice* device = change == DeviceChange::Full ? nullptr : list_.Find(mac, *link);
    note(change, device ? device->number : 0);
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

void Search::HintIfSilent(const std::string& hint) const {
    if (quill_ && sendWarnings_.anySent() && !heardAny_ && !hint.empty())
        err_ << "quillctl: note: no reply at all arrived; " << hint << '\n';
}

} // namespace quillctl
