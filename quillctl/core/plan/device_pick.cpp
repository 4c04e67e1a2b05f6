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

namespace {

// "answers on lan0 (198.51.100.1) at 198.51.100.40 and on ...": each row's link and address text.
template <class Row, class Address>
std::string Describe(const std::vector<const Row*>& rows, const std::vector<Link>& links, Address address) {
    std::string text = "answers";
    for (size_t i = 0; i < rows.size(); ++i)
        text += std::string(i == 0                 ? ""
                            : i + 1 == rows.size() ? " and"
                                                   : ",") +
                " on " + DescribeLink(links.at(rows[i]->link)) + " at " + address(*rows[i]);
    return text;
}

} // namespace

std::string DescribeRivals(const std::vector<const FoundDevice*>& rows, const std::vector<Link>& links) {
    return Describe(rows, links, [](const FoundDevice& row) { return EscapeText(row.ipText); });
}

CameraPick PickCamera(const DeviceList& list, const std::vector<Link>& links,
                      const std::function<bool(const OnvifDevice&)>& matches, std::string_view interface) {
    CameraPick pick;
    std::vector<const OnvifDevice*> rows;
    for (const OnvifDevice& row : list.onvifDevices())
        if (!row.gone && matches(row) && (interface.empty() || LinkNamed(links.at(row.link), interface)))
            rows.push_back(&row);
    if (rows.empty())
        return pick;
    for (const OnvifDevice* row : rows)
        if (row->xaddr.host != rows.front()->xaddr.host || row->endpoint != rows.front()->endpoint) {
            pick.rivals = std::move(rows);
            return pick;
        }
    pick.camera = rows.front();
    return pick;
}

std::string DescribeRivals(const std::vector<const OnvifDevice*>& rows, const std::vector<Link>& links) {
    return Describe(rows, links, [](const OnvifDevice& row) { return FormatIpv4(row.xaddr.host); });
}

} // namespace quillctl
