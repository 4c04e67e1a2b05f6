#include "plan/plan_order.h"

#include <algorithm>
#include <map>
#include <set>

#include "net/text_escape.h"

namespace quillctl {

namespace {

// Who moves, and which of them hold the address each one is to take.
struct MoveGraph {
    std::vector<size_t> moving;                         // item indexes
    std::map<size_t, std::vector<size_t>> holdersOfNew; // item -> moving items holding its new address
};

MoveGraph GraphOf(const std::vector<ChangeItem>& items) {
    MoveGraph graph;
    std::map<Ipv4, std::vector<size_t>> byOld;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].status != ChangeStatus::Waiting)
            continue;
        graph.moving.push_back(i);
        if (std::optional<Ipv4> old = ParseIpv4(items[i].oldIp))
            byOld[*old].push_back(i);
    }
    for (size_t i : graph.moving) {
        std::vector<size_t>& holders = graph.holdersOfNew[i];
        if (auto found = byOld.find(ParseIpv4(items[i].newIp).value_or(Ipv4{})); found != byOld.end())
            for (size_t j : found->second)
                if (j != i)
                    holders.push_back(j);
    }
    return graph;
}

// A cycle of "waits for" among the items not parked, as its members; empty when there is none.
std::vector<size_t> FindCycle(const MoveGraph& graph, const std::set<size_t>& parked) {
    enum Mark { Unseen, OnPath, Done };
    std::map<size_t, Mark> mark;
    for (size_t root : graph.moving) {
        if (mark[root] != Unseen)
            continue;
        // Depth first without recursion: the path, and the next edge to follow at each of its nodes.
        std::vector<std::pair<size_t, size_t>> path{{root, 0}};
        mark[root] = OnPath;
        while (!path.empty()) {
            auto& [node, edge] = path.back();
            const std::vector<size_t>& next = graph.holdersOfNew.at(node);
            if (edge == next.size()) {
                mark[node] = Done;
                path.pop_back();
                continue;
            }
            size_t to = next[edge++];
            if (parked.count(to) || mark[to] == Done)
                continue;
            if (mark[to] == OnPath) {
                std::vector<size_t> cycle;
                for (auto it = path.rbegin(); it != path.rend(); ++it) {
                    cycle.push_back(it->first);
                    if (it->first == to)
                        break;
                }
                return cycle;
            }
            mark[to] = OnPath;
            path.push_back({to, 0});
        }
    }
    return {};
}

} // namespace

bool ChangeOrder::AllAtOnce() const {
    return std::all_of(steps.begin(), steps.end(), [](const ChangeStep& step) { return step.after.empty(); });
}

ChangeOrder OrderChanges(const std::vector<ChangeItem>& items,
                         const std::function<std::optional<Ipv4>(size_t link)>& freeAddress) {
    ChangeOrder order;
    const MoveGraph graph = GraphOf(items);
    // Break every cycle at its first device in plan order: it goes to a free address first. One of
    // ours if the cycle has one: a camera's every change costs a device-service call, often a reboot.
    std::set<size_t> parked;
    for (std::vector<size_t> cycle = FindCycle(graph, parked); !cycle.empty();
         cycle = FindCycle(graph, parked))
        parked.insert(*std::min_element(cycle.begin(), cycle.end(), [&](size_t a, size_t b) {
            return std::pair(items[a].camera.has_value(), a) < std::pair(items[b].camera.has_value(), b);
        }));

    // Steps unordered first: each device's parking step (if any), then its step to its new address.
    std::vector<ChangeStep> steps;
    std::map<size_t, size_t> parkingStep, finalStep, leaving; // item -> step
    for (size_t i : graph.moving) {
        if (!parked.count(i))
            continue;
        std::optional<Ipv4> stop = freeAddress(items[i].link);
        if (!stop) {
            order.error = "no free address in the subnet of " + EscapeText(items[i].oldIp) + " for " +
                          DeviceName(items[i]) + " to go through: its new address " + items[i].newIp +
                          " is held by a device that waits for its own";
            return order;
        }
        parkingStep[i] = leaving[i] = steps.size();
        steps.push_back(ChangeStep{i, *stop, true, {}});
    }
    for (size_t i : graph.moving) {
        finalStep[i] = steps.size();
        if (!parked.count(i))
            leaving[i] = steps.size();
        steps.push_back(ChangeStep{i, ParseIpv4(items[i].newIp).value_or(Ipv4{}), false, {}});
    }
    for (size_t i : graph.moving) {
        std::vector<size_t>& after = steps[finalStep[i]].after;
        if (parked.count(i))
            after.push_back(parkingStep[i]);
        for (size_t j : graph.holdersOfNew.at(i))
            after.push_back(leaving[j]);
    }

    // Then in an order they may go out in: each after those it waits for, else in plan order.
    std::vector<size_t> position(steps.size(), steps.size());
    std::vector<size_t> sequence;
    for (size_t placed = steps.size() + 1; sequence.size() < steps.size() && sequence.size() != placed;) {
        placed = sequence.size();
        for (size_t s = 0; s < steps.size(); ++s) {
            if (position[s] != steps.size())
                continue;
            if (std::all_of(steps[s].after.begin(), steps[s].after.end(),
                            [&](size_t before) { return position[before] != steps.size(); })) {
                position[s] = sequence.size();
                sequence.push_back(s);
            }
        }
    }
    for (size_t s : sequence) {
        ChangeStep step = steps[s];
        for (size_t& before : step.after)
            before = position[before];
        std::sort(step.after.begin(), step.after.end());
        order.steps.push_back(step);
    }
    return order;
}

void WriteOrder(std::ostream& out, const ChangeOrder& order, const std::vector<ChangeItem>& items) {
    if (order.AllAtOnce())
        return;
    out << "Order (no two devices on one address at any time):\n";
    std::map<size_t, std::string> at; // where each device is before its next step
    for (size_t s = 0; s < order.steps.size(); ++s) {
        const ChangeStep& step = order.steps[s];
        const ChangeItem& item = items[step.item];
        std::string from = at.count(step.item) ? at[step.item] : EscapeText(item.oldIp);
        at[step.item] = FormatIpv4(step.target);
        out << "  " << s + 1 << ". " << DeviceName(item) << "  " << from << " -> " << FormatIpv4(step.target);
        if (step.parking)
            out << " (a free address on the way to " << item.newIp << ")";
        if (step.after.empty()) {
            out << ", at once\n";
            continue;
        }
        out << ", once step";
        if (step.after.size() > 1)
            out << 's';
        for (size_t i = 0; i < step.after.size(); ++i)
            out << (i == 0 ? " " : i + 1 == step.after.size() ? " and " : ", ") << step.after[i] + 1;
        out << (step.after.size() > 1 ? " are" : " is") << " confirmed\n";
    }
}

} // namespace quillctl
