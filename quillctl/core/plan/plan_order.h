#pragma once
// The order a plan's changes go out in, so that no two devices ever hold one address: a device whose
// new address another moving device still holds waits until that one has confirmed leaving it; in a
// cycle (a swap, a ring) one device first moves to a free address of its subnet, and on from there once
// the device that held its new address has left it; one of ours rather than a camera when it can.
// Our devices and WS-Discovery cameras are ordered alike, by their old and new addresses.
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "plan/change_run.h"

namespace quillctl {

struct ChangeOrder {
    std::vector<ChangeStep> steps; // each after every step it waits for
    std::string error;             // set when a cycle has no free address to go through
    bool AllAtOnce() const;        // no step waits for another
};

// The steps for the waiting items. `freeAddress(link)` gives a free address of that link's subnet that
// it gave no one before (nothing when there is none left); it is asked once per cycle.
ChangeOrder OrderChanges(const std::vector<ChangeItem>& items,
                         const std::function<std::optional<Ipv4>(size_t link)>& freeAddress);

// The order, one line a step, as the dry run prints it; nothing when every change goes out at once.
void WriteOrder(std::ostream& out, const ChangeOrder& order, const std::vector<ChangeItem>& items);

} // namespace quillctl
