#include "onvif/camera_rows.h"

#include <map>
#include <utility>

#include "onvif/camera_details.h"
#include "net/text_escape.h"

namespace quillctl {

const OnvifDevice* OnvifDeviceOfRow(const DeviceList& list, const DeviceRow& row) {
    if (row.protocol != "onvif")
        return nullptr;
    for (const OnvifDevice& device : list.onvifDevices())
        if (device.number == row.number)
            return &device;
    return nullptr;
}

namespace {

void Fill(DeviceRow& row, const onvif::CameraDetails& details) {
    row.auth = onvif::AuthResultText(details.auth);
    if (const auto& information = details.information) {
        row.manufacturer = EscapeName(information->manufacturer);
        row.model = EscapeName(information->model);
        row.firmware = EscapeName(information->firmware);
        row.serial = EscapeName(information->serial);
    }
    if (const auto& interface = details.interface) {
        row.dhcp = interface->dhcp ? "true" : "false";
        if (std::optional<onvif::Ipv4Setting> current = interface->Current())
            row.prefixLength = current->prefixLength;
        if (std::optional<Mac> mac = ParseMacArgument(interface->hwAddress); mac && row.mac.empty())
            row.mac = MacText(*mac);
    }
    if (details.gateway && !details.gateway->ipv4.empty())
        row.gateway = EscapeText(details.gateway->ipv4.front());
}

} // namespace

size_t AddCameraDetails(onvif::HttpTransport& http, onvif::Crypto& crypto,
                        const onvif::CredentialBook& credentials, const DeviceList& list,
                        std::vector<DeviceRow>& rows, std::ostream& err) {
    // A camera that answered on two cards has a row for each, each with the XAddr that card's answer
    // gave. HTTP goes where the system routes it, whichever card the answer came on: rows with the same
    // XAddr and endpoint are one camera asked once, rows with different XAddrs are each asked at theirs.
    std::vector<onvif::CameraQuery> queries;
    std::map<std::pair<std::string, std::string>, size_t> queryOf; // (XAddr, endpoint) -> query
    std::vector<std::pair<size_t, size_t>> asked;                  // (row, query)
    for (size_t i = 0; i < rows.size(); ++i)
        if (const OnvifDevice* device = OnvifDeviceOfRow(list, rows[i])) {
            auto [at, added] = queryOf.try_emplace({device->xaddr.text, device->endpoint}, queries.size());
            if (added)
                queries.push_back(
                    {device->xaddr.text, device->xaddr.host, credentials.For(device->endpoint, device->mac)});
            asked.emplace_back(i, at->second);
        }
    std::vector<onvif::CameraDetails> details = onvif::ReadAllCameraDetails(http, crypto, queries);
    size_t failed = 0;
    for (auto [index, q] : asked) {
        DeviceRow& row = rows[index];
        Fill(row, details[q]);
        std::string about =
            "camera " + std::to_string(row.number) + " (" + row.endpoint + ", " + row.ip + ")";
        if (details[q].auth == onvif::AuthResult::Refused) {
            err << "quillctl: " << about << ": auth refused\n";
            ++failed;
        } else if (details[q].auth == onvif::AuthResult::Unknown) {
            err << "quillctl: " << about << ": " << details[q].problem << '\n';
            ++failed;
        } else if (!details[q].problem.empty()) {
            err << "quillctl: warning: " << about << ": " << details[q].problem << '\n';
        }
    }
    return failed;
}

} // namespace quillctl
