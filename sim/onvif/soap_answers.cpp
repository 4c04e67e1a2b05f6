#include "soap_answers.hpp"

#include "soap_call.hpp"
#include "xml_names.hpp"

#include <array>
#include <cmath>
#include <ctime>
#include <utility>

namespace quillsim {

namespace {

constexpr std::array<std::pair<const char*, std::string_view>, 5> kPrefixes{{
    {"s", onvif_ns::soap},
    {"tds", onvif_ns::tds},
    {"trt", onvif_ns::trt},
    {"tt", onvif_ns::tt},
    {"ter", onvif_ns::ter},
}};

// An envelope whose body holds one element named `answer`, filled by `fill`.
template <typename Fill> std::string envelope(const char* answer, Fill fill) {
    pugi::xml_document doc;
    auto declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    auto root = doc.append_child("s:Envelope");
    for (const auto& [prefix, uri] : kPrefixes) {
        root.append_attribute((std::string("xmlns:") + prefix).c_str()) = std::string(uri).c_str();
    }
    root.append_child("s:Header");
    fill(root.append_child("s:Body").append_child(answer));
    return document_text(doc);
}

void add_number(pugi::xml_node parent, const char* name, long long value) {
    add_text_child(parent, name, std::to_string(value));
}

const char* boolean(bool value) { return value ? "true" : "false"; }

} // namespace

std::string soap_fault(std::string_view code, std::string_view subcode, std::string_view reason) {
    return envelope("s:Fault", [&](pugi::xml_node fault) {
        auto code_node = fault.append_child("s:Code");
        add_text_child(code_node, "s:Value", "s:" + std::string(code));
        add_text_child(code_node.append_child("s:Subcode"), "s:Value", "ter:" + std::string(subcode));
        auto text = fault.append_child("s:Reason").append_child("s:Text");
        text.append_attribute("xml:lang") = "en";
        text.text().set(std::string(reason).c_str());
    });
}

std::string date_and_time_answer(double camera_seconds) {
    const std::time_t whole = static_cast<std::time_t>(std::floor(camera_seconds));
    std::tm utc{};
    gmtime_r(&whole, &utc);
    return envelope("tds:GetSystemDateAndTimeResponse", [&](pugi::xml_node answer) {
        auto system = answer.append_child("tds:SystemDateAndTime");
        add_text_child(system, "tt:DateTimeType", "Manual");
        add_text_child(system, "tt:DaylightSavings", "false");
        add_text_child(system.append_child("tt:TimeZone"), "tt:TZ", "UTC0");
        auto date_time = system.append_child("tt:UTCDateTime");
        auto time = date_time.append_child("tt:Time");
        add_number(time, "tt:Hour", utc.tm_hour);
        add_number(time, "tt:Minute", utc.tm_min);
        add_number(time, "tt:Second", utc.tm_sec);
        auto date = date_time.append_child("tt:Date");
        add_number(date, "tt:Year", utc.tm_year + 1900);
        add_number(date, "tt:Month", utc.tm_mon + 1);
        add_number(date, "tt:Day", utc.tm_mday);
    });
}

std::string device_information_answer(const CameraFacts& facts) {
    return envelope("tds:GetDeviceInformationResponse", [&](pugi::xml_node answer) {
        add_text_child(answer, "tds:Manufacturer", facts.manufacturer);
        add_text_child(answer, "tds:Model", facts.model);
        add_text_child(answer, "tds:FirmwareVersion", facts.firmware);
        add_text_child(answer, "tds:SerialNumber", facts.serial);
        add_text_child(answer, "tds:HardwareId", facts.hardware_id);
    });
}

std::string network_interfaces_answer(const CameraFacts& facts, const CameraNetwork& network) {
    return envelope("tds:GetNetworkInterfacesResponse", [&](pugi::xml_node answer) {
        auto interface = answer.append_child("tds:NetworkInterfaces");
        interface.append_attribute("token") = facts.interface_token.c_str();
        add_text_child(interface, "tt:Enabled", "true");
        auto info = interface.append_child("tt:Info");
        add_text_child(info, "tt:Name", facts.interface_token);
        add_text_child(info, "tt:HwAddress", facts.mac);
        add_number(info, "tt:MTU", 1500);
        auto ipv4 = interface.append_child("tt:IPv4");
        add_text_child(ipv4, "tt:Enabled", "true");
        auto config = ipv4.append_child("tt:Config");
        // A leased address is reported as from DHCP, a fixed one as manual.
        auto address = config.append_child(network.dhcp ? "tt:FromDHCP" : "tt:Manual");
        add_text_child(address, "tt:Address", format_ipv4(network.address));
        add_number(address, "tt:PrefixLength", network.prefix_length);
        add_text_child(config, "tt:DHCP", boolean(network.dhcp));
    });
}

std::string default_gateway_answer(const CameraNetwork& network) {
    return envelope("tds:GetNetworkDefaultGatewayResponse", [&](pugi::xml_node answer) {
        add_text_child(answer.append_child("tds:NetworkGateway"), "tt:IPv4Address",
                       format_ipv4(network.gateway));
    });
}

std::string set_interfaces_answer(bool reboot_needed) {
    return envelope("tds:SetNetworkInterfacesResponse", [&](pugi::xml_node answer) {
        add_text_child(answer, "tds:RebootNeeded", boolean(reboot_needed));
    });
}

std::string set_gateway_answer() {
    return envelope("tds:SetNetworkDefaultGatewayResponse", [](pugi::xml_node) {});
}

std::string reboot_answer(std::string_view message) {
    return envelope("tds:SystemRebootResponse",
                    [&](pugi::xml_node answer) { add_text_child(answer, "tds:Message", message); });
}

std::string capabilities_answer(std::string_view device_xaddr, std::string_view media_xaddr) {
    return envelope("tds:GetCapabilitiesResponse", [&](pugi::xml_node answer) {
        auto capabilities = answer.append_child("tds:Capabilities");
        add_text_child(capabilities.append_child("tt:Device"), "tt:XAddr", device_xaddr);
        auto media = capabilities.append_child("tt:Media");
        add_text_child(media, "tt:XAddr", media_xaddr);
        auto streaming = media.append_child("tt:StreamingCapabilities");
        add_text_child(streaming, "tt:RTPMulticast", "false");
        add_text_child(streaming, "tt:RTP_TCP", "true");
        add_text_child(streaming, "tt:RTP_RTSP_TCP", "true");
    });
}

std::string profiles_answer() {
    return envelope("trt:GetProfilesResponse", [](pugi::xml_node answer) {
        auto profile = answer.append_child("trt:Profiles");
        profile.append_attribute("token") = "profile_1";
        profile.append_attribute("fixed") = "true";
        add_text_child(profile, "tt:Name", "main");
    });
}

std::string stream_uri_answer(std::string_view uri) {
    return envelope("trt:GetStreamUriResponse", [&](pugi::xml_node answer) {
        auto media_uri = answer.append_child("trt:MediaUri");
        add_text_child(media_uri, "tt:Uri", uri);
        add_text_child(media_uri, "tt:InvalidAfterConnect", "false");
        add_text_child(media_uri, "tt:InvalidAfterReboot", "false");
        add_text_child(media_uri, "tt:Timeout", "PT0S");
    });
}

std::string padded_answer(std::string answer, std::size_t size) {
    const auto end = answer.rfind("</s:Envelope>");
    if (end == std::string::npos || answer.size() >= size) {
        return answer;
    }
    const std::size_t fill = size - answer.size() + 1;
    answer.insert(end, "<!--" + std::string(fill, 'x') + "-->");
    return answer;
}

} // namespace quillsim
