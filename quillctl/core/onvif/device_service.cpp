#include "onvif/device_service.h"

#include <charconv>
#include <ctime>

#include "onvif/xml_reading.h"

namespace quillctl::onvif {

namespace {

pugi::xml_node Tt(pugi::xml_node parent, std::string_view local) {
    return xml::Child(parent, kSchema, local);
}
pugi::xml_node Tds(pugi::xml_node parent, std::string_view local) {
    return xml::Child(parent, kDeviceWsdl, local);
}

std::optional<int> Number(pugi::xml_node node, int low, int high) {
    std::string text = xml::TrimmedText(node);
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high)
        return std::nullopt;
    return value;
}

// xs:boolean: true, false, 1, 0; absent is `absent`.
std::optional<bool> Boolean(pugi::xml_node node, std::optional<bool> absent = std::nullopt) {
    if (!node)
        return absent;
    std::string text = xml::TrimmedText(node);
    if (text == "true" || text == "1")
        return true;
    if (text == "false" || text == "0")
        return false;
    return std::nullopt;
}

std::optional<Ipv4Setting> ReadSetting(pugi::xml_node node) {
    std::optional<Ipv4> address = ParseIpv4(xml::TrimmedText(Tt(node, "Address")));
    std::optional<int> prefix = Number(Tt(node, "PrefixLength"), 0, 32);
    if (!address || !prefix)
        return std::nullopt;
    return Ipv4Setting{*address, *prefix};
}

// Days since 1970-01-01 of a proleptic Gregorian date (the usual civil-from-days inverse).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

} // namespace

std::optional<Ipv4Setting> NetworkInterface::Current() const {
    if (dhcp && fromDhcp)
        return fromDhcp;
    if (!manual.empty())
        return manual.front();
    return fromDhcp;
}

std::optional<std::chrono::system_clock::time_point> ReadSystemDateAndTime(pugi::xml_node content) {
    if (!xml::Is(content, kDeviceWsdl, "GetSystemDateAndTimeResponse"))
        return std::nullopt;
    pugi::xml_node utc = Tt(Tds(content, "SystemDateAndTime"), "UTCDateTime");
    pugi::xml_node date = Tt(utc, "Date"), time = Tt(utc, "Time");
    // The clock holds nanoseconds: years past 2262 do not fit, and a camera's date is far from that.
    std::optional<int> year = Number(Tt(date, "Year"), 1970, 2200), month = Number(Tt(date, "Month"), 1, 12),
                       day = Number(Tt(date, "Day"), 1, 31), hour = Number(Tt(time, "Hour"), 0, 23),
                       minute = Number(Tt(time, "Minute"), 0, 59), second = Number(Tt(time, "Second"), 0, 60);
    if (!year || !month || !day || !hour || !minute || !second)
        return std::nullopt;
    int64_t seconds =
        DaysFromCivil(*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day)) * 86400 +
        *hour * 3600 + *minute * 60 + *second;
    return std::chrono::system_clock::time_point(std::chrono::seconds(seconds));
}

std::optional<DeviceInformation> ReadDeviceInformation(pugi::xml_node content) {
    if (!xml::Is(content, kDeviceWsdl, "GetDeviceInformationResponse"))
        return std::nullopt;
    DeviceInformation information;
    information.manufacturer = xml::TrimmedText(Tds(content, "Manufacturer"));
    information.model = xml::TrimmedText(Tds(content, "Model"));
    information.firmware = xml::TrimmedText(Tds(content, "FirmwareVersion"));
    information.serial = xml::TrimmedText(Tds(content, "SerialNumber"));
    information.hardwareId = xml::TrimmedText(Tds(content, "HardwareId"));
    return information;
}

std::optional<std::vector<NetworkInterface>> ReadNetworkInterfaces(pugi::xml_node content) {
    if (!xml::Is(content, kDeviceWsdl, "GetNetworkInterfacesResponse"))
        return std::nullopt;
    std::vector<NetworkInterface> interfaces;
    for (pugi::xml_node node : xml::Children(content, kDeviceWsdl, "NetworkInterfaces")) {
        NetworkInterface read;
        read.token = node.attribute("token").value();
        std::optional<bool> enabled = Boolean(Tt(node, "Enabled"), true);
        read.hwAddress = xml::TrimmedText(Tt(Tt(node, "Info"), "HwAddress"));
        pugi::xml_node ipv4 = Tt(node, "IPv4");
        std::optional<bool> ipv4Enabled = Boolean(Tt(ipv4, "Enabled"), bool(ipv4));
        pugi::xml_node config = Tt(ipv4, "Config");
        std::optional<bool> dhcp = Boolean(Tt(config, "DHCP"), false);
        if (read.token.empty() || !enabled || !ipv4Enabled || !dhcp)
            return std::nullopt;
        read.enabled = *enabled;
        read.ipv4Enabled = *ipv4Enabled;
        read.dhcp = *dhcp;
        for (pugi::xml_node manual : xml::Children(config, kSchema, "Manual"))
            if (std::optional<Ipv4Setting> setting = ReadSetting(manual))
                read.manual.push_back(*setting);
        if (pugi::xml_node fromDhcp = Tt(config, "FromDHCP"))
            read.fromDhcp = ReadSetting(fromDhcp);
        interfaces.push_back(std::move(read));
    }
    return interfaces;
}

std::optional<NetworkGateway> ReadNetworkDefaultGateway(pugi::xml_node content) {
    if (!xml::Is(content, kDeviceWsdl, "GetNetworkDefaultGatewayResponse"))
        return std::nullopt;
    NetworkGateway gateway;
    for (pugi::xml_node address : xml::Children(Tds(content, "NetworkGateway"), kSchema, "IPv4Address"))
        gateway.ipv4.push_back(xml::TrimmedText(address));
    return gateway;
}

void WriteSetNetworkInterfaces(SoapRequest& request, const std::string& token, Ipv4Setting setting) {
    pugi::xml_node operation = request.operation();
    operation.append_child("tds:InterfaceToken").text() = token.c_str();
    pugi::xml_node interface = operation.append_child("tds:NetworkInterface");
    interface.append_child("tt:Enabled").text() = "true";
    pugi::xml_node ipv4 = interface.append_child("tt:IPv4");
    ipv4.append_child("tt:Enabled").text() = "true";
    pugi::xml_node manual = ipv4.append_child("tt:Manual");
    manual.append_child("tt:Address").text() = FormatIpv4(setting.address).c_str();
    manual.append_child("tt:PrefixLength").text() = setting.prefixLength;
    ipv4.append_child("tt:DHCP").text() = "false";
}

std::optional<bool> ReadSetNetworkInterfaces(pugi::xml_node content) {
    if (!xml::Is(content, kDeviceWsdl, "SetNetworkInterfacesResponse"))
        return std::nullopt;
    return Boolean(Tds(content, "RebootNeeded"), false);
}

void WriteSetNetworkDefaultGateway(SoapRequest& request, Ipv4 gateway) {
    request.operation().append_child("tds:IPv4Address").text() = FormatIpv4(gateway).c_str();
}

std::optional<bool> ReadSetNetworkDefaultGateway(pugi::xml_node content) {
    if (!xml::Is(content, kDeviceWsdl, "SetNetworkDefaultGatewayResponse"))
        return std::nullopt;
    return true;
}

std::optional<std::string> ReadSystemReboot(pugi::xml_node content) {
    if (!xml::Is(content, kDeviceWsdl, "SystemRebootResponse"))
        return std::nullopt;
    return xml::TrimmedText(Tds(content, "Message"));
}

} // namespace quillctl::onvif
