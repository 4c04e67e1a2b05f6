#pragma once
// WS-Discovery messages as devices write them, for the tests: built from parts so that each test
// changes only what it is about.
#include <cstdint>
#include <string>
#include <vector>

namespace quillctl::testing {

struct SampleDevice {
    std::string endpoint = "urn:uuid:5a1b0000-0000-4000-8000-000000000001";
    std::string types = "dn:NetworkVideoTransmitter tds:Device";
    std::string scopes = "onvif://www.onvif.org/name/Lobby%20Camera onvif://www.onvif.org/hardware/QS-100";
    std::string xaddrs = "http://198.51.100.131/onvif/device_service";
};

// One ProbeMatches (or ResolveMatches) answering `relatesTo`, one match per device.
std::string ProbeMatches(const std::string& relatesTo, const std::vector<SampleDevice>& devices,
                         bool resolve = false);
std::string Hello(const SampleDevice& device);
std::string Bye(const std::string& endpoint);

std::vector<uint8_t> Bytes(const std::string& text);

} // namespace quillctl::testing
