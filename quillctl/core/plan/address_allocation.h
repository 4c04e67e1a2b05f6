#pragma once
// apply --from: consecutive addresses for the selected devices of one link, in the order of their MACs;
// and the free address a swap parks a device on, chosen the same way.
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "net/device_list.h"
#include "output/device_rows.h"
#include "net/links.h"
#include "plan/plan_reader.h"

namespace quillctl {

enum class Selection { Unreachable, Duplicate, All };

struct Allocation {
    std::vector<PlanLine> lines; // line numbers 0: they come from no file
    std::string error;           // set when no allocation can be made (a usage error)
};

// Every address a device of either kind heard in this run or this host holds.
std::set<Ipv4> HeldAddresses(const DeviceList& devices, const std::vector<Ipv4>& hostAddresses);

// The first address from `first` up in the link's subnet that no device can be refused (the subnet's
// own and broadcast address) and that is not in `held`; nothing past the subnet's last host address.
std::optional<Ipv4> FreeAddressFrom(Ipv4 first, const Link& link, const std::set<Ipv4>& held);

// Candidates are the selected devices that answered on a link whose subnet holds `first` (duplicate:
// every holder of a shared address but the first that answered on each link), each bound to its link.
// They get addresses from `first` up, skipping every address a device or this host holds
// (HeldAddresses), those of `alsoHeld` (known to be in use otherwise) and the subnet's own address, and
// never past the subnet's last host address.
Allocation AllocateFrom(Ipv4 first, Selection selection, const DeviceList& devices,
                        const std::vector<DeviceRow>& rows, const std::vector<Link>& links,
                        const std::vector<Ipv4>& hostAddresses, const std::set<Ipv4>& alsoHeld = {});

} // namespace quillctl
