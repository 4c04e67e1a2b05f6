#pragma once
// Which row of a MAC a change goes to. A MAC heard on several links at one address is one device seen
// on each: its change goes out on the first link it answered on. At different addresses they are
// different devices that share a MAC on separate networks, and the user must say which link.
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/device_list.h"
#include "net/links.h"

namespace quillctl {

struct DevicePick {
    const FoundDevice* device = nullptr;    // nothing when none answered, or when the rows disagree
    std::vector<const FoundDevice*> rivals; // every row of the MAC, when they disagree
};

// `interface` (a name or an address, as --interface takes them; empty for any) limits the rows.
DevicePick PickDevice(const DeviceList& list, const std::vector<Link>& links, const Mac& mac,
                      std::string_view interface);

// "answers on lan0 (198.51.100.1) at 198.51.100.40 and on lan1 (203.0.113.1) at 203.0.113.40", escaped.
std::string DescribeRivals(const std::vector<const FoundDevice*>& rows, const std::vector<Link>& links);

// The same for WS-Discovery cameras: the rows `matches` takes, on `interface`'s link (empty for any);
// rows at one address are one camera seen on each link.
struct CameraPick {
    const OnvifDevice* camera = nullptr;
    std::vector<const OnvifDevice*> rivals;
};
CameraPick PickCamera(const DeviceList& list, const std::vector<Link>& links,
                      const std::function<bool(const OnvifDevice&)>& matches, std::string_view interface);
std::string DescribeRivals(const std::vector<const OnvifDevice*>& rows, const std::vector<Link>& links);

// One physical device: its MAC at its address, whichever link it was heard on.
inline std::pair<Mac, std::string> DeviceKey(const FoundDevice& device) {
    return {device.mac, device.ipText};
}

} // namespace quillctl
