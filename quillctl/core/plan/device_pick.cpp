#include "plan/device_pick.h"

#include "net/text_escape.h"

namespace quillctl {

DevicePick PickDevice(const DeviceList& list, const std::vector<Link>& links, const Mac& mac,
                      std::string_view interface) {
    DevicePick pick;
    std::vector<const FoundDevice*> rows;
    for (const FoundDevice* row : list.FindAll(mac))
        if (interface.empty() || LinkNamed(links.at(row->link), interface))
            rows.push_back(row);
    if (rows.empty())
        return pick;
    for (const FoundDevice* row : rows)
        if (row->ipText != rows.front()->ipText) {
            pick.rivals = std::move(rows);
            return pick;
        }
    pick.device = rows.front();
    return pick;
}

std::string DescribeRivals(const std::vector<const FoundDevice*>& rows, const std::vector<Link>& links) {
    std::string text = "answers";
    for (size_t i = 0; i < rows.size(); ++i)
        text += std::string(i == 0                 ? ""
                            : i + 1 == rows.size() ? " and"
                                                   : ",") +
                " on " + DescribeLink(links.at(rows[i]->link)) + " at " + EscapeText(rows[i]->ipText);
    return text;
}

} // namespace quillctl
