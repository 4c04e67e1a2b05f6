#pragma once
// The device-service calls quillctl makes, as SOAP bodies written and answers read: what each request
// carries and what is taken from each answer. No transport and no authentication here (see
// device_client.h).
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "net/ipv4.h"
#include "onvif/soap.h"

namespace quillctl::onvif {

struct DeviceInformation {
    std::string manufacturer, model, firmware, serial, hardwareId; // as sent: escape before printing
};

struct Ipv4Setting {
    Ipv4 address;
    int prefixLength = 0;
};

struct NetworkInterface {
    std::string token;
    bool enabled = true;
    std::string hwAddress; // as sent, e.g. "00:1a:2b:3c:4d:5e"
    bool ipv4Enabled = false;
    bool dhcp = false;
    std::vector<Ipv4Setting> manual;
    std::optional<Ipv4Setting> fromDhcp;
    // The address in use: the DHCP one when DHCP is on and one is known, else the first manual one.
    std::optional<Ipv4Setting> Current() const;
};

struct NetworkGateway {
    std::vector<std::string> ipv4; // as sent
};

// The Get requests carry nothing but their operation's name. Answers are read from the body's first
// element and give nullopt when it is not the answer expected or a value is malformed.
std::optional<std::chrono::system_clock::time_point> ReadSystemDateAndTime(pugi::xml_node content);

std::optional<DeviceInformation> ReadDeviceInformation(pugi::xml_node content);

std::optional<std::vector<NetworkInterface>> ReadNetworkInterfaces(pugi::xml_node content);

std::optional<NetworkGateway> ReadNetworkDefaultGateway(pugi::xml_node content);

// Manual IPv4 on the interface, DHCP off. The answer says whether the camera needs a reboot for it.
void WriteSetNetworkInterfaces(SoapRequest& request, const std::string& token, Ipv4Setting setting);
std::optional<bool> ReadSetNetworkInterfaces(pugi::xml_node content);

void WriteSetNetworkDefaultGateway(SoapRequest& request, Ipv4 gateway);
std::optional<bool> ReadSetNetworkDefaultGateway(pugi::xml_node content);

// The answer carries the camera's message (e.g. "Rebooting in 30 seconds").
std::optional<std::string> ReadSystemReboot(pugi::xml_node content);

} // namespace quillctl::onvif
