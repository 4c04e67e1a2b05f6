#pragma once
// The rows of ONVIF cameras filled with what their device services say (info, find --details).
#include <ostream>
#include <vector>

#include "net/device_list.h"
#include "output/device_rows.h"
#include "onvif/credentials.h"
#include "onvif/crypto.h"
#include "onvif/http_transport.h"

namespace quillctl {

// The camera a row of find's stands for; nullptr for a row of our own devices.
const OnvifDevice* OnvifDeviceOfRow(const DeviceList& list, const DeviceRow& row);

// Asks the camera of every ONVIF row at once (bounded) and fills the row's appended fields, and its mac
// from the camera's interface when no scope gave it; rows of our own devices stay as they are. Each
// camera that refused the credentials or could not be asked is noted on `err`. Returns how many.
// HTTP and crypto are the platform's (Host::Http, Host::PlatformCrypto).
size_t AddCameraDetails(onvif::HttpTransport& http, onvif::Crypto& crypto,
                        const onvif::CredentialBook& credentials, const DeviceList& list,
                        std::vector<DeviceRow>& rows, std::ostream& err);

} // namespace quillctl
