#include "camera_facts.hpp"

#include <array>
#include <cstdio>

namespace quillsim {

namespace {

struct Make {
    const char* manufacturer;
    const char* model_prefix;
};

// Made-up makes; the third tests a reader's XML unescaping.
constexpr std::array<Make, 3> kMakes{{
    {"Sim Optics", "SO-"},
    {"Lab Imaging", "LI-"},
    {"Test & <Vision>", "TV-"},
}};

} // namespace

CameraFacts camera_facts(Ipv4 first_address, std::size_t index) {
    const Make& make = kMakes[index % kMakes.size()];
    CameraFacts facts;
    facts.manufacturer = make.manufacturer;
    facts.model = std::string(make.model_prefix) + std::to_string(100 + index % 7);
    facts.firmware = "5." + std::to_string(index % 10) + ".0";
    char text[32];
    std::snprintf(text, sizeof text, "QS%08X%04zX", first_address.value, index & 0xffff);
    facts.serial = text;
    facts.hardware_id = "QS-" + std::to_string(index);
    const std::uint32_t a = first_address.value;
    std::snprintf(text, sizeof text, "02:5a:%02x:%02x:%02x:%02x", a >> 24, (a >> 16) & 0xff, (a >> 8) & 0xff,
                  a & 0xff);
    facts.mac = text;
    facts.dhcp = index % 2 == 1;
    return facts;
}

Ipv4 first_gateway(Ipv4 first_address) { return Ipv4{(first_address.value & 0xffffff00u) + 1}; }

} // namespace quillsim

namespace quillsim {

std::string service_xaddr(std::string_view address, int http_port, std::string_view service) {
    return "http://" + std::string(address) + ":" + std::to_string(http_port) + "/onvif/" +
           std::string(service);
}

} // namespace quillsim
