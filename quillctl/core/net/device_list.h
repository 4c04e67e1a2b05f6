#pragma once
// The devices one run of quillctl has heard: ours one per MAC and link, read from replies by the main
// window's rules (discovery/core), and WS-Discovery devices one per endpoint and link. A MAC heard on two
// cards is two rows: the same device seen twice when both give one address, else two devices that share
// a MAC on separate networks. Both kinds are numbered in the order they were first heard. Bounded: a flood of
// invented MACs or endpoints cannot make it grow past its capacity.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/ipv4.h"
#include "net/mac_argument.h"
#include "wire_protocol.h"

namespace quillctl {

// Far more devices than any LAN segment holds, few enough that the list stays small.
inline constexpr size_t kMaxFoundDevices = 4096;

struct FoundDevice {
    int number = 0; // from 1, in the order the devices were first heard
    Mac mac{};
    std::string ipText; // the reply's address text as it came: at most 15 bytes, not checked
    std::optional<int32_t> httpPort;
    size_t link = 0; // where it answered: commands for it go out there
    Ipv4 source;     // the address its latest reply came from
};

// Where a WS-Discovery device's services answer (onvif/onvif_facts.h reads it from the XAddrs).
struct HttpXAddr {
    std::string text; // the XAddr as sent
    Ipv4 host;
    int32_t port = 80;
};

// A device that answered WS-Discovery, as its latest message describes it.
struct OnvifDevice {
    int number = 0;
    std::string endpoint;
    std::string name;     // from the name scope, decoded; not escaped
    std::string hardware; // from the hardware scope, decoded; not escaped
    std::optional<Mac> mac;
    HttpXAddr xaddr; // chosen for the link from what the message on that link said
    size_t link = 0; // where it answered
    Ipv4 source;
    bool gone = false; // it said Bye (and no Hello since)
};

enum class DeviceChange {
    Ignored, // no MAC: the reply names no device
    Full,    // a new MAC while the list is full
    None,    // nothing new
    Added,
    Changed, // address text, port or source changed
};

class DeviceList {
  public:
    explicit DeviceList(size_t capacity = kMaxFoundDevices) : capacity_(capacity) {}

    // A later reply on the same link updates the address text, the port and the source.
    DeviceChange Apply(const quillmast::DeviceReply& reply, size_t link, Ipv4 source);

    // A later message on the same link (seen.link) updates everything but the number; a device that said
    // Bye is back.
    DeviceChange ApplyOnvif(OnvifDevice seen);
    // Bye on a link: the device stays in the list (its number is kept for its return), marked gone.
    DeviceChange ByeOnvif(const std::string& endpoint, size_t link);

    const FoundDevice* Find(const Mac& mac, size_t link) const;
    // The first heard with this MAC, on whichever link.
    const FoundDevice* Find(const Mac& mac) const;
    // Every row of this MAC, in the order they were first heard.
    std::vector<const FoundDevice*> FindAll(const Mac& mac) const;
    const OnvifDevice* FindOnvif(const std::string& endpoint, size_t link) const;
    // The first heard with this endpoint and not gone, on whichever link.
    const OnvifDevice* FindOnvif(const std::string& endpoint) const;
    // Our devices only: the ones whose address quillctl can change.
    const std::vector<FoundDevice>& devices() const { return devices_; }
    const std::vector<OnvifDevice>& onvifDevices() const { return onvif_; }
    // Every device heard and not gone, of either kind.
    size_t PresentCount() const;
    bool overflowed() const { return overflowed_; }

  private:
    bool Full();

    size_t capacity_;
    int nextNumber_ = 1;
    std::vector<FoundDevice> devices_;
    std::map<std::pair<Mac, size_t>, size_t> byMac_;
    std::vector<OnvifDevice> onvif_;
    std::map<std::pair<std::string, size_t>, size_t> byEndpoint_;
    size_t gone_ = 0;
    bool overflowed_ = false;
};

// A camera that answers both searches is the device of ours with the MAC its scopes give, at its XAddr's
// host: that device (nothing for any other camera).
const FoundDevice* OurDeviceOf(const DeviceList& list, const OnvifDevice& camera);

} // namespace quillctl
