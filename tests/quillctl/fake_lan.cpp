#include "fake_lan.h"

#include <algorithm>
#include <cstring>

#include <pugixml.hpp>

#include "net/exit_status.h"
#include "wire_protocol.h"

namespace quillctl::testing {

Mac MacNumber(int n) {
    return Mac{0x02, 0, 0, 0, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n & 0xff)};
}

std::chrono::milliseconds FakeLan::Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(now_ - start_);
}

size_t FakeLan::Count(bool (SentDatagram::*kind)() const) const {
    size_t n = 0;
    for (const SentDatagram& datagram : sent)
        n += (datagram.*kind)() ? 1 : 0;
    return n;
}

namespace {

std::string_view Local(std::string_view name) {
    size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The text of the first element with this local name; the fake reads our requests loosely, as a
// device might.
std::string ElementText(const std::vector<uint8_t>& bytes, std::string_view local) {
    pugi::xml_document document;
    if (!document.load_buffer(bytes.data(), bytes.size()))
        return {};
    pugi::xml_node found = document.find_node([&](pugi::xml_node node) {
        return node.type() == pugi::node_element && Local(node.name()) == local;
    });
    return found.child_value();
}

} // namespace

std::string SentDatagram::Body() const {
    pugi::xml_document document;
    if (!document.load_buffer(bytes.data(), bytes.size()))
        return {};
    pugi::xml_node body = document.find_node([](pugi::xml_node node) {
        return node.type() == pugi::node_element && Local(node.name()) == "Body";
    });
    return std::string(Local(body.first_child().name()));
}

std::string SentDatagram::MessageId() const { return ElementText(bytes, "MessageID"); }

std::string SentDatagram::Endpoint() const { return ElementText(bytes, "Address"); }

void FakeLan::Inject(std::chrono::milliseconds at, std::vector<uint8_t> bytes, ArrivalFacts facts,
                     Channel channel) {
    pending_.emplace(start_ + at, Pending{start_ + at, std::move(bytes), facts, channel});
}

ArrivalFacts FakeLan::FactsOn(size_t link, const std::string& source) const {
    ArrivalFacts facts;
    facts.source = ParseIpv4(source).value_or(Ipv4{0x0a000001});
    facts.interfaceIndex = links_.at(link).index;
    facts.destination = links_.at(link).Address();
    return facts;
}

void FakeLan::InjectOnvif(std::chrono::milliseconds at, const std::string& text, size_t link,
                          const std::string& source) {
    Inject(at, Bytes(text), FactsOn(link, source), Channel::Onvif);
}

std::string FakeLan::LastProbeId(size_t link) const {
    for (auto it = sent.rbegin(); it != sent.rend(); ++it)
        if (it->link == link && it->IsProbe())
            return it->MessageId();
    return {};
}

void FakeLan::AnswerOnvif(const FakeOnvifDevice& device, const std::string& text) {
    pending_.emplace(now_ + device.delay, Pending{now_ + device.delay, Bytes(text),
                                                  FactsOn(device.link, device.source), Channel::Onvif});
}

std::string FakeLan::SendOnvif(size_t link, std::span<const uint8_t> datagram) {
    sent.push_back(
        SentDatagram{Elapsed(), link, std::vector<uint8_t>(datagram.begin(), datagram.end()), true});
    const SentDatagram& request = sent.back();
    const std::string id = request.MessageId();
    for (FakeOnvifDevice& device : onvifDevices) {
        if (device.link != link)
            continue;
        if (request.IsProbe()) {
            if (device.dropProbeMatches > 0) {
                --device.dropProbeMatches;
                continue;
            }
            SampleDevice shown = device.sample;
            if (!device.xaddrsInMatch)
                shown.xaddrs.clear();
            AnswerOnvif(device, ProbeMatches(id, {shown}));
        } else if (request.IsResolve() && request.Endpoint() == device.sample.endpoint) {
            AnswerOnvif(device, ProbeMatches(id, {device.sample}, true));
        }
    }
    return "";
}

void FakeLan::Answer(const FakeDevice& device) {
    std::string text =
        device.ip + ":" + (device.port ? "HTTP" + std::to_string(*device.port) + "," : "") + "MAC";
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.insert(bytes.end(), device.mac.begin(), device.mac.end());
    ArrivalFacts facts;
    facts.source = ParseIpv4(device.source.value_or(device.ip)).value_or(Ipv4{0x0a000001});
    facts.interfaceIndex = links_.at(device.link).index;
    facts.destination = links_.at(device.link).Address();
    pending_.emplace(now_ + device.delay, Pending{now_ + device.delay, std::move(bytes), facts});
}

std::string FakeLan::Send(size_t link, std::span<const uint8_t> datagram) {
    if (datagram.size() == quillmast::kChangeIpCommandSize && !commandError.empty())
        return commandError;
    sent.push_back(SentDatagram{Elapsed(), link, std::vector<uint8_t>(datagram.begin(), datagram.end())});
    for (FakeDevice& device : devices) {
        if (device.link != link)
            continue;
        if (datagram.size() == quillmast::kSearchRequestSize) {
            Answer(device);
        } else if (datagram.size() == quillmast::kChangeIpCommandSize &&
                   std::memcmp(datagram.data() + quillmast::kChangeCmdMacOffset, device.mac.data(), 6) == 0) {
            if (device.mode == ChangeMode::Never)
                continue;
            device.ip = device.mode == ChangeMode::Other
                            ? device.otherIp
                            : std::string(reinterpret_cast<const char*>(datagram.data()) +
                                          quillmast::kChangeCmdIpOffset);
            Answer(device);
        }
    }
    return "";
}

void FakeLan::Receive(Clock::time_point until, const std::function<void(const Arrival&)>& sink) {
    if (pending_.empty() || pending_.begin()->first > until) {
        if (interruptAt && start_ + *interruptAt < until && start_ + *interruptAt > now_) {
            now_ = start_ + *interruptAt;
            return;
        }
        now_ = std::max(now_, until);
        return;
    }
    now_ = std::max(now_, pending_.begin()->first);
    while (!pending_.empty() && pending_.begin()->first <= now_) {
        Pending next = std::move(pending_.begin()->second);
        pending_.erase(pending_.begin());
        sink(Arrival{next.bytes, next.facts, next.channel});
    }
}

namespace {

// The command's handle on the host's LAN, so the test can still look at it after the command ended.
class LanHandle : public Wire {
  public:
    explicit LanHandle(FakeLan& lan) : lan_(lan) {}
    Clock::time_point Now() override { return lan_.Now(); }
    std::string Send(size_t link, std::span<const uint8_t> datagram) override {
        return lan_.Send(link, datagram);
    }
    std::string SendOnvif(size_t link, std::span<const uint8_t> datagram) override {
        return lan_.SendOnvif(link, datagram);
    }
    void Receive(Clock::time_point until, const std::function<void(const Arrival&)>& sink) override {
        lan_.Receive(until, sink);
    }
    bool Interrupted() override { return lan_.Interrupted(); }

  private:
    FakeLan& lan_;
};

} // namespace

namespace {

class FakeNeighbourQuery : public NeighbourQuery {
  public:
    explicit FakeNeighbourQuery(std::map<Ipv4, Mac> answers) : answers_(std::move(answers)) {}
    std::map<Ipv4, Mac> Answers(Clock::time_point) override { return answers_; }

  private:
    std::map<Ipv4, Mac> answers_;
};

} // namespace

std::unique_ptr<NeighbourQuery> FakeHost::AskNeighbours(const Link&, const std::vector<Ipv4>& addresses) {
    std::map<Ipv4, Mac> answers;
    for (Ipv4 address : addresses) {
        arpAsked.push_back(address);
        if (auto holder = arpHolders.find(FormatIpv4(address)); holder != arpHolders.end())
            answers[address] = holder->second;
    }
    return std::make_unique<FakeNeighbourQuery>(answers);
}

std::unique_ptr<Wire> FakeHost::OpenWire(const std::vector<Link>& links, const WireOptions& options) {
    for (size_t i = 0; i < links.size(); ++i)
        if (std::find(unusableLinks.begin(), unusableLinks.end(), links[i].name) != unusableLinks.end())
            throw LinkSetupError(i,
                                 "cannot join 235.5.6.7 on " + DescribeLink(links[i]) + ": No such device");
    wireOptions = options;
    lan = std::make_unique<FakeLan>(links);
    lan->devices = devices;
    lan->onvifDevices = options.onvif ? onvifDevices : std::vector<FakeOnvifDevice>{};
    for (const Planted& datagram : planted)
        lan->InjectOnvif(datagram.at, datagram.text, datagram.link);
    lan->interruptAt = interruptAt;
    lan->commandError = commandError;
    // A camera that takes a new address answers from there and says Hello, as it does after a reboot.
    cameras.onMoved = [this](const std::string& from, const std::string& to) {
        for (FakeOnvifDevice& device : lan->onvifDevices)
            if (device.sample.xaddrs == from) {
                device.sample.xaddrs = to;
                device.source = to.substr(7, to.find_first_of(":/", 7) - 7);
                lan->InjectOnvif(lan->Elapsed() + std::chrono::milliseconds(100), Hello(device.sample),
                                 device.link, device.source);
            }
    };
    return std::make_unique<LanHandle>(*lan);
}

std::vector<HostInterface> OneLanHost() {
    return {HostInterface{"lo", 1, true, true, {{Ipv4{0x7f000001}, 8}}},
            HostInterface{"lan0", 2, true, false, {{*ParseIpv4("198.51.100.1"), 24}}}};
}

std::vector<HostInterface> TwoLanHost() {
    std::vector<HostInterface> interfaces = OneLanHost();
    interfaces.push_back(HostInterface{"lan1", 3, true, false, {{*ParseIpv4("203.0.113.1"), 24}}});
    return interfaces;
}

std::string FakeHost::ReadSecretFile(const std::string& path) {
    auto found = secretFiles.find(path);
    if (found == secretFiles.end())
        throw CommandError(kExitUsage, "cannot read " + path);
    return found->second;
}

} // namespace quillctl::testing
