#pragma once
// The devices one run of quillctl has heard, one per MAC, read from replies by the main window's rules
// (discovery/core). Bounded: a flood of invented MACs cannot make it grow past its capacity.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ipv4.h"
#include "mac_argument.h"
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

    const FoundDevice* Find(const Mac& mac) const;
    const std::vector<FoundDevice>& devices() const { return devices_; }
    bool overflowed() const { return overflowed_; }

  private:
    size_t capacity_;
    std::vector<FoundDevice> devices_;
    std::map<Mac, size_t> byMac_;
    bool overflowed_ = false;
};

} // namespace quillctl
