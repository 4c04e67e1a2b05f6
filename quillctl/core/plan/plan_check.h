#pragma once
// The checks of a plan against what the search found: each change must name a device that answered
// (one of ours by its MAC, a WS-Discovery camera by its endpoint), and an address that no one keeps (a
// device or camera outside the plan or staying where it is, this host, a machine that answers ARP) and
// that is not its link's subnet or broadcast address; a camera's gateway must lie in the subnet of its
// new address. Checked whole, before anything is sent.
#include <map>
#include <string>
#include <vector>

#include "plan/change_run.h"
#include "net/device_list.h"
#include "net/links.h"
#include "plan/plan_reader.h"

namespace quillctl {

struct NetworkView {
    const DeviceList& devices;
    const std::vector<Link>& links;
    const std::vector<Ipv4>& hostAddresses;
    // Addresses someone other than our devices holds, with who (OtherHolders::Find).
    const std::map<Ipv4, std::string>* heldElsewhere = nullptr;
};

struct CheckedPlan {
    // One per plan line: waiting (to be sent) or skipped (no change asked, or the address it has); each
    // marked when its new address lies outside its link's subnet. A camera's carries no credentials yet.
    std::vector<ChangeItem> items;
    std::vector<int> itemLines;
    // The plan's user for each item (apply's credentials take it): empty but for a camera that names one.
    std::vector<std::string> itemUsers;
    std::vector<PlanProblem> problems; // in line order
};

CheckedPlan CheckPlan(const std::vector<PlanLine>& lines, const NetworkView& view);

} // namespace quillctl
