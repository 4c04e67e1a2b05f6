#pragma once
// The devices one run of quillctl has heard: ours one per MAC, read from replies by the main window's
// rules (discovery/core), and WS-Discovery devices one per endpoint. Both are numbered in the order they
// were first heard. Bounded: a flood of invented MACs or endpoints cannot make it grow past its capacity.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ipv4.h"
#include "mac_argument.h"
#include "onvif_facts.h"
#include "wire_protocol.h"

namespace quillctl {

// Far more devices than any LAN segment holds, few enough that the list stays small.
inline constexpr size_t kMaxFoundDevices = 4096;

struct FoundDevice {
    int number = 0; // from 1, in the order the devices were first heard
    Mac mac{};
    std::string ipText; // the reply's address text as it came: at most 15 bytes, not checked
    std::optional<int32_t> httpPort;
    size_t link = 0; // where it first answered: commands for it go out there
    Ipv4 source;     // the address its latest reply came from
};

// A device that answered WS-Discovery, as its latest message describes it.
struct OnvifDevice {
    int number = 0;
    std::string endpoint;
    std::string name;     // from the name scope, decoded; not escaped
    std::string hardware; // from the hardware scope, decoded; not escaped
    std::optional<Mac> mac;
    HttpXAddr xaddr;
    size_t link = 0; // where it first answered
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

    // A later reply updates the address text, the port and the source; the link stays the first one.
    DeviceChange Apply(const quillmast::DeviceReply& reply, size_t link, Ipv4 source);

    // A later message updates everything but the number and the link; a device that said Bye is back.
    DeviceChange ApplyOnvif(OnvifDevice seen);
    // Bye: the device stays in the list (its number is kept for its return), marked gone.
    DeviceChange ByeOnvif(const std::string& endpoint);

    const FoundDevice* Find(const Mac& mac) const;
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
    std::map<Mac, size_t> byMac_;
    std::vector<OnvifDevice> onvif_;
    std::map<std::string, size_t> byEndpoint_;
    size_t gone_ = 0;
    bool overflowed_ = false;
};

} // namespace quillctl
