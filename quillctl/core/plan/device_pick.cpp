#include "plan/device_pick.h"

#include <algorithm>
#include <cctype>

#include "net/text_escape.h"

namespace quillctl {

namespace {

std::string AddressOf(const FoundDevice& device) { return device.ipText; }
std::string AddressOf(const OnvifDevice& camera) { return FormatIpv4(camera.xaddr.host); }

// The rows that answered on the link named (any when none is), the first when they all give one
// address, else every one of them as rivals.
template <typename Row, typename Pick>
Pick PickOf(std::vector<const Row*> found, const std::vector<Link>& links, std::string_view interface) {
    Pick pick;
    std::vector<const Row*> rows;
    for (const Row* row : found)
        if (interface.empty() || LinkNamed(links.at(row->link), interface))
            rows.push_back(row);
    if (rows.empty())
        return pick;
    for (const Row* row : rows)
        if (AddressOf(*row) != AddressOf(*rows.front())) {
            pick.rivals = std::move(rows);
            return pick;
        }
    pick.device = rows.front();
    return pick;
}

template <typename Row>
std::string RivalsText(const std::vector<const Row*>& rows, const std::vector<Link>& links) {
    std::string text = "answers";
    for (size_t i = 0; i < rows.size(); ++i)
        text += std::string(i == 0                 ? ""
                            : i + 1 == rows.size() ? " and"
                                                   : ",") +
                " on " + DescribeLink(links.at(rows[i]->link)) + " at " + EscapeText(AddressOf(*rows[i]));
    return text;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

DevicePick PickDevice(const DeviceList& list, const std::vector<Link>& links, const Mac& mac,
                      std::string_view interface) {
    return PickOf<FoundDevice, DevicePick>(list.FindAll(mac), links, interface);
}

CameraPick PickCamera(const DeviceList& list, const std::vector<Link>& links, std::string_view endpoint,
                      std::string_view interface) {
    std::vector<const OnvifDevice*> found;
    for (const OnvifDevice& camera : list.onvifDevices())
        if (!camera.gone &&
            (SameNoCase(camera.endpoint, endpoint) || SameNoCase(EscapeText(camera.endpoint), endpoint)))
            found.push_back(&camera);
    return PickOf<OnvifDevice, CameraPick>(std::move(found), links, interface);
}

std::string DescribeRivals(const std::vector<const FoundDevice*>& rows, const std::vector<Link>& links) {
    return RivalsText(rows, links);
}

std::string DescribeRivals(const std::vector<const OnvifDevice*>& rows, const std::vector<Link>& links) {
    return RivalsText(rows, links);
}

} // namespace quillctl
