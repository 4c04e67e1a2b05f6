#pragma once
// A LAN in memory for the command tests: scripted devices that answer searches and change commands
// as real ones do, a clock that jumps from event to event, and a host with chosen interfaces.
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fake_camera.h"
#include "commands/host.h"
#include "net/mac_argument.h"
#include "openssl_crypto.h"
#include "net/wire.h"
#include "wsd_samples.h"

namespace quillctl::testing {

enum class ChangeMode { Confirm, Never, Other };

struct FakeDevice {
    Mac mac{};
    std::string ip;
    size_t link = 0;
    std::optional<int> port = 80;
    ChangeMode mode = ChangeMode::Confirm;
    std::string otherIp;                // taken instead of the asked address with ChangeMode::Other
    std::chrono::milliseconds delay{5}; // from a request to its answer
    std::optional<std::string> source;  // the sender address, when it is not the device's own
};

// A camera of another make: it answers WS-Discovery probes and resolves, not our search.
struct FakeOnvifDevice {
    SampleDevice sample;
    size_t link = 0;
    bool xaddrsInMatch = true; // false: only a Resolve tells where it is
    int dropProbeMatches = 0;  // this many answers to probes are lost on the way
    std::chrono::milliseconds delay{5};
    std::string source = "198.51.100.131";
};

Mac MacNumber(int n); // 02-00-00-00-xx-yy

struct SentDatagram {
    std::chrono::milliseconds at; // since the start of the test's clock
    size_t link;
    std::vector<uint8_t> bytes;
    bool onvif = false;
    bool IsSearch() const { return !onvif && bytes.size() == 19; }
    bool IsCommand() const { return !onvif && bytes.size() == 41; }
    bool IsProbe() const { return onvif && Body() == "Probe"; }
    bool IsResolve() const { return onvif && Body() == "Resolve"; }
    // A WS-Discovery request's body element (local name) and MessageID.
    std::string Body() const;
    std::string MessageId() const;
    std::string Endpoint() const; // the EndpointReference address (what a Resolve asks for)
};

class FakeLan : public Wire {
  public:
    explicit FakeLan(std::vector<Link> links) : links_(std::move(links)) {}

    std::vector<FakeDevice> devices;
    std::vector<FakeOnvifDevice> onvifDevices;
    std::vector<SentDatagram> sent;
    std::optional<std::chrono::milliseconds> interruptAt;
    std::string commandError; // what sending a change command fails with; empty: it goes out

    Clock::time_point Now() override { return now_; }
    std::string Send(size_t link, std::span<const uint8_t> datagram) override;
    std::string SendOnvif(size_t link, std::span<const uint8_t> datagram) override;
    void Receive(Clock::time_point until, const std::function<void(const Arrival&)>& sink) override;
    bool Interrupted() override { return interruptAt && Elapsed() >= *interruptAt; }

    std::chrono::milliseconds Elapsed() const;
    // A datagram arriving at `at` from outside the scripted devices (crafted bytes).
    void Inject(std::chrono::milliseconds at, std::vector<uint8_t> bytes, ArrivalFacts facts,
                Channel channel = Channel::Quill);
    // The same, arriving on `link` from 198.51.100.200 (or `source`).
    void InjectOnvif(std::chrono::milliseconds at, const std::string& text, size_t link = 0,
                     const std::string& source = "198.51.100.200");
    // The MessageID of the last probe sent on `link`.
    std::string LastProbeId(size_t link = 0) const;

    size_t Count(bool (SentDatagram::*kind)() const) const;

  private:
    struct Pending {
        Clock::time_point at;
        std::vector<uint8_t> bytes;
        ArrivalFacts facts;
        Channel channel = Channel::Quill;
    };
    void Answer(const FakeDevice& device);
    void AnswerOnvif(const FakeOnvifDevice& device, const std::string& text);
    ArrivalFacts FactsOn(size_t link, const std::string& source) const;

    std::vector<Link> links_;
    Clock::time_point start_ = Clock::time_point{} + std::chrono::hours(1);
    Clock::time_point now_ = start_;
    std::multimap<Clock::time_point, Pending> pending_;
};

// A host with the given interfaces whose wire is a FakeLan over the links quillctl chooses.
class FakeHost : public Host {
  public:
    explicit FakeHost(std::vector<HostInterface> interfaces) : interfaces_(std::move(interfaces)) {}

    std::vector<FakeDevice> devices; // handed to the LAN when the command opens it
    std::vector<FakeOnvifDevice> onvifDevices;
    // WS-Discovery datagrams that arrive by themselves (announcements, forgeries) at a set time.
    struct Planted {
        std::chrono::milliseconds at;
        std::string text;
        size_t link = 0;
    };
    std::vector<Planted> planted;
    std::optional<std::chrono::milliseconds> interruptAt;
    std::string commandError;              // handed to the LAN
    WireOptions wireOptions;               // what the last command asked for
    std::unique_ptr<FakeLan> lan;          // the LAN of the last command, kept after it ends
    std::vector<std::string> opened;       // URLs handed to the browser
    std::map<std::string, Mac> arpHolders; // addresses someone answers ARP for, on every link
    std::vector<Ipv4> arpAsked;
    std::vector<std::string> unusableLinks; // interfaces whose group cannot be joined
    std::string noReplyHint;
    const OutputSink* output = nullptr; // the sink behind the command's `out`, when a test gives one

    // The cameras' device services, the secrets' sources.
    OpensslCrypto crypto;
    FakeCameras cameras{crypto};
    std::map<std::string, std::string> environment;
    std::optional<std::string> typedPassword; // nullopt: no terminal
    std::map<std::string, std::string> secretFiles;

    std::vector<HostInterface> Interfaces() override { return interfaces_; }
    onvif::HttpTransport& Http() override { return cameras; }
    onvif::Crypto& PlatformCrypto() override { return crypto; }
    std::optional<std::string> Environment(const std::string& name) override {
        auto found = environment.find(name);
        return found == environment.end() ? std::nullopt : std::optional(found->second);
    }
    std::optional<std::string> ReadPasswordFromTerminal(const std::string&) override { return typedPassword; }
    std::string ReadSecretFile(const std::string& path) override;
    std::unique_ptr<Wire> OpenWire(const std::vector<Link>& links, const WireOptions& options) override;
    std::unique_ptr<NeighbourQuery> AskNeighbours(const Link& link,
                                                  const std::vector<Ipv4>& addresses) override;
    bool ErrorStreamIsTerminal() override { return false; }
    std::optional<WriteFailure> OutputFailure() override { return output ? output->failure() : std::nullopt; }
    std::string OpenInBrowser(const std::string& url) override {
        opened.push_back(url);
        return "";
    }
    std::string NoReplyHint() override { return noReplyHint; }
    bool CameraCallsInline() override { return true; }

  private:
    std::vector<HostInterface> interfaces_;
};

// One up interface "lan0" (index 2) with 198.51.100.1/24, and loopback.
std::vector<HostInterface> OneLanHost();
// lan0 as above and "lan1" (index 3) with 203.0.113.1/24.
std::vector<HostInterface> TwoLanHost();

} // namespace quillctl::testing
