#include "onvif/onvif_search.h"

#include "onvif/wsd_writer.h"

namespace quillctl {

namespace {

// Far more requests than answers can still be on their way to: about fifteen minutes of probes on
// four links.
constexpr size_t kRememberedRequests = 4096;

std::span<const uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

} // namespace

OnvifDevice OnvifDeviceOf(const wsd::Announcement& device, const HttpXAddr& xaddr, size_t link, Ipv4 source) {
    OnvifDevice seen;
    seen.endpoint = device.endpoint;
    seen.name = ScopeValue(device.scopes, "name");
    seen.hardware = ScopeValue(device.scopes, "hardware");
    seen.mac = ScopeMac(device.scopes);
    seen.xaddr = xaddr;
    seen.link = link;
    seen.source = source;
    return seen;
}

ProbeSearchMaker OnvifProbes(std::vector<wsd::TypeName> types) {
    return [types = std::move(types)](Wire& wire, const std::vector<Link>& links, SendWarnings& warnings) {
        return std::make_unique<OnvifSearch>(wire, links, types, warnings);
    };
}

ProbeSearchMaker CameraProbes() { return OnvifProbes({*wsd::ParseTypeName("dn:NetworkVideoTransmitter")}); }

OnvifSearch::OnvifSearch(Wire& wire, const std::vector<Link>& links, std::vector<wsd::TypeName> types,
                         SendWarnings& sendWarnings)
    : wire_(wire), links_(links), types_(std::move(types)), sendWarnings_(sendWarnings),
      random_(std::random_device{}()) {}

void OnvifSearch::Remember(const std::string& messageId) {
    sent_.insert(messageId);
    sentOrder_.push_back(messageId);
    if (sentOrder_.size() > kRememberedRequests) {
        sent_.erase(sentOrder_.front());
        sentOrder_.pop_front();
    }
}

void OnvifSearch::SendProbes() {
    resolvedThisRound_.clear();
    resolvesBySender_.clear();
    for (size_t link = 0; link < links_.size(); ++link) {
        std::string id = wsd::NewMessageId(random_);
        Remember(id);
        sendWarnings_.Note(link, wire_.SendOnvif(link, Bytes(wsd::BuildProbe(id, types_))), "probe");
    }
}

void OnvifSearch::Resolve(const std::string& endpoint, size_t link, Ipv4 source, const DeviceList& list) {
    if (const OnvifDevice* known = list.FindOnvif(endpoint, link); known && !known->gone)
        return; // its address on this link is known; a Hello or match that tells a new one updates it
    if (resolvedThisRound_.count({endpoint, link}))
        return;
    size_t& bySender = resolvesBySender_[source.value];
    if (resolvedThisRound_.size() >= kMaxResolvesPerRound || bySender >= kMaxResolvesPerSender) {
        Ignore(wsd::Rejection::ResolveLimit);
        return;
    }
    resolvedThisRound_.insert({endpoint, link});
    ++bySender;
    std::string id = wsd::NewMessageId(random_);
    Remember(id);
    sendWarnings_.Note(link, wire_.SendOnvif(link, Bytes(wsd::BuildResolve(id, endpoint))), "resolve");
}

void OnvifSearch::TakeDevice(const wsd::Announcement& device, size_t link, Ipv4 source, DeviceList& list,
                             const std::function<void(DeviceChange, int)>& onChange) {
    if (device.xaddrs.empty()) {
        // WS-Discovery lets a device leave its address out: it is asked for with a Resolve.
        Resolve(device.endpoint, link, source, list);
        return;
    }
    std::optional<HttpXAddr> xaddr = ChooseXAddr(device.xaddrs, links_.at(link).subnet);
    if (!xaddr) {
        Ignore(wsd::Rejection::NoUsableXAddr);
        return;
    }
    DeviceChange change = list.ApplyOnvif(OnvifDeviceOf(device, *xaddr, link, source));
    if (change == DeviceChange::Added || change == DeviceChange::Changed || change == DeviceChange::Full)
        onChange(change, change == DeviceChange::Full ? 0 : list.FindOnvif(device.endpoint, link)->number);
}

void OnvifSearch::Take(const Arrival& arrival, size_t link, DeviceList& list,
                       const std::function<void(DeviceChange, int)>& onChange) {
    wsd::ReadResult read = wsd::ReadMessage(arrival.bytes, arrival.truncated);
    if (!read.message) {
        Ignore(read.rejection);
        return;
    }
    const wsd::Message& message = *read.message;
    switch (message.kind) {
    case wsd::MessageKind::ProbeMatches:
    case wsd::MessageKind::ResolveMatches:
        if (!sent_.count(message.relatesTo)) {
            Ignore(wsd::Rejection::UnknownRelatesTo);
            return;
        }
        [[fallthrough]];
    case wsd::MessageKind::Hello:
        for (const wsd::Announcement& device : message.devices)
            TakeDevice(device, link, arrival.facts.source, list, onChange);
        break;
    case wsd::MessageKind::Bye:
        for (const wsd::Announcement& device : message.devices)
            if (list.ByeOnvif(device.endpoint, link) == DeviceChange::Changed)
                onChange(DeviceChange::Changed, list.FindOnvif(device.endpoint, link)->number);
        break;
    }
}

size_t OnvifSearch::IgnoredCount() const {
    size_t total = 0;
    for (size_t count : ignored_)
        total += count;
    return total;
}

std::string OnvifSearch::IgnoredSummary() const {
    size_t total = IgnoredCount();
    if (total == 0)
        return {};
    std::string text =
        "ignored " + std::to_string(total) + " WS-Discovery message" + (total == 1 ? "" : "s") + ":";
    bool first = true;
    for (size_t i = 0; i < ignored_.size(); ++i) {
        if (ignored_[i] == 0)
            continue;
        text += (first ? " " : ", ") + std::to_string(ignored_[i]) + " " +
                wsd::RejectionText(static_cast<wsd::Rejection>(i));
        first = false;
    }
    return text;
}

} // namespace quillctl
