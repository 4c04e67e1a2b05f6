#pragma once
// What `info` and `find --details` ask every camera: GetSystemDateAndTime (its clock, unauthenticated),
// GetDeviceInformation, GetNetworkInterfaces and GetNetworkDefaultGateway; and whether the credentials
// were needed, accepted or refused.
#include <optional>
#include <string>
#include <vector>

#include "net/ipv4.h"
#include "onvif/bounded_workers.h"
#include "onvif/device_client.h"

namespace quillctl::onvif {

enum class AuthResult {
    Unknown,  // the camera answered none of the calls
    None,     // no credentials were given and none were needed
    Accepted, // credentials given and taken
    Needed,   // no credentials given, and the camera wanted some for at least one call
    Refused,  // the camera refused the credentials: nothing more was sent to it
};

// "", "none", "ok", "needed", "refused": the field's values.
const char* AuthResultText(AuthResult result);

struct CameraDetails {
    std::optional<DeviceInformation> information;
    std::optional<NetworkInterface> interface; // the one holding the XAddr's address, else the first
    std::optional<NetworkGateway> gateway;
    AuthResult auth = AuthResult::Unknown;
    std::string problem; // the first failure other than authentication, escaped; empty when none
};

struct CameraQuery {
    std::string xaddr;
    Ipv4 address; // the XAddr's host
    std::optional<Credentials> credentials;
};

CameraDetails ReadCameraDetails(DeviceClient& client, Ipv4 address, bool withCredentials);

// Every camera at once (bounded); the results in the order of `queries`.
std::vector<CameraDetails> ReadAllCameraDetails(HttpTransport& transport, Crypto& crypto,
                                                const std::vector<CameraQuery>& queries,
                                                size_t bound = kMaxCamerasAtOnce);

} // namespace quillctl::onvif
