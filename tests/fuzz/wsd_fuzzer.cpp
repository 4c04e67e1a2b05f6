// Feeds any bytes to the WS-Discovery reader as one datagram, then takes whatever it accepted the way a
// search does: the XAddr chosen on a link, the scopes decoded, the device listed and turned into rows.
// After every input: a message only when the datagram fits one and every device has an endpoint; an
// XAddr only when it is http at a dotted address with a port in range; and every text a row shows is
// printable ASCII, so nothing a sender writes reaches a terminal as it came.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "device_list.h"
#include "device_rows.h"
#include "fuzz_check.h"
#include "onvif_facts.h"
#include "onvif_search.h"
#include "wsd_reader.h"

using namespace quillctl;

namespace {

using fuzzing::Check;

bool Printable(std::string_view text) {
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7e)
            return false;
    return true;
}

// Names may keep letters of any script, but nothing a terminal reads as a control: no C0 byte, no
// DEL, no C1 control in its UTF-8 form (0xC2 0x80 to 0xC2 0x9F).
bool FreeOfControls(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7f)
            return false;
        if (c == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9f)
            return false;
    }
    return true;
}

void CheckXAddr(const std::string& text, const std::optional<HttpXAddr>& xaddr) {
    if (!xaddr)
        return;
    Check(StartsWithNoCase(text, "http://"), "an XAddr that is not http was taken");
    Check(xaddr->port >= 1 && xaddr->port <= 65535, "an XAddr port out of range");
    Check(text.find(FormatIpv4(xaddr->host)) == 7, "the XAddr's host is not the dotted address it names");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<Link> links{Link{"lan0", 2, Subnet{*ParseIpv4("198.51.100.1"), 24}}};
    const bool truncated = size > 0 && data[0] == 0xff; // now and then, as a cut datagram would be
    wsd::ReadResult read = wsd::ReadMessage(std::span<const uint8_t>(data, size), truncated);
    if (!read.message)
        return 0;
    Check(!truncated && size <= wsd::kMaxMessageBytes, "a message taken from more than one datagram");

    DeviceList list(8);
    for (const wsd::Announcement& device : read.message->devices) {
        Check(!device.endpoint.empty(), "a device without an endpoint");
        for (const std::string& text : device.xaddrs)
            CheckXAddr(text, ParseHttpXAddr(text));
        std::optional<HttpXAddr> xaddr = ChooseXAddr(device.xaddrs, links[0].subnet);
        if (!xaddr)
            continue;
        list.ApplyOnvif(OnvifDeviceOf(device, *xaddr, 0, xaddr->host));
        if (read.message->kind == wsd::MessageKind::Bye)
            list.ByeOnvif(device.endpoint, 0);
    }
    for (const DeviceRow& row : BuildRows(list, links, {})) {
        for (const std::string* text : {&row.ip, &row.mac, &row.endpoint, &row.xaddr})
            Check(Printable(*text), "a row shows a byte that is not printable ASCII");
        for (const std::string* text : {&row.name, &row.hardware})
            Check(FreeOfControls(*text), "a row's name shows a control character");
    }
    return 0;
}
