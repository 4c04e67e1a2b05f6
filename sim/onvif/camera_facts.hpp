#pragma once

#include "base/ipv4_address.hpp"

#include <cstddef>
#include <string>
#include <string_view>

namespace quillsim {

// What camera k says about itself in GetDeviceInformation and GetNetworkInterfaces. It follows from k and
// the camera's first address alone (as its endpoint does), so a test predicts it without fixing --seed,
// and the cameras of two simulators differ.
struct CameraFacts {
    std::string manufacturer; // three makes in turn, one with XML's special characters in its name
    std::string model;
    std::string firmware;
    std::string serial;      // "QS" + the first address as 8 hex digits + k as 4, upper case
    std::string hardware_id; // "QS-<k>", as in its hardware scope
    std::string mac;         // 02:5a + the first address's four bytes, lower case with ':'
    std::string interface_token = "eth0";
    bool dhcp = false; // odd k: the address came from DHCP
};

CameraFacts camera_facts(Ipv4 first_address, std::size_t index);

// The default gateway a camera starts with: the first host of its /24 (198.51.100.1 for 198.51.100.130).
Ipv4 first_gateway(Ipv4 first_address);

inline constexpr int kFirstPrefixLength = 24;

// A camera's IPv4 settings as it runs with them.
struct CameraNetwork {
    Ipv4 address;
    int prefix_length = kFirstPrefixLength;
    bool dhcp = false;
    Ipv4 gateway;
    bool operator==(const CameraNetwork&) const = default;
};

} // namespace quillsim

namespace quillsim {

// "http://<address>:<port>/onvif/<service>": where a camera serves its device and media services.
std::string service_xaddr(std::string_view address, int http_port,
                          std::string_view service = "device_service");

} // namespace quillsim
