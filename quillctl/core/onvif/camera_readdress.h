#pragma once
// A camera's new address, asked of its device service: the gateway first (while the camera still
// answers where it is), then manual IPv4 on the interface that holds its address, DHCP off; the camera
// then says whether it needs a reboot for it (the caller decides and asks SystemReboot). And the check
// after it: does the camera, asked at its new XAddr with the credentials, say it holds the address.
#include <optional>
#include <string>
#include <vector>

#include "net/ipv4.h"
#include "onvif/device_client.h"

namespace quillctl::onvif {

struct AddressRequest {
    Ipv4 oldAddress; // where it answers now: picks the interface to change
    Ipv4 target;
    std::optional<int> prefixLength; // nothing: the one its interface has now
    std::optional<Ipv4> gateway;     // nothing: left as it is
};

struct AddressSent {
    CallError error = CallError::None;
    std::string detail;        // why not, escaped, never the password; empty when it went out
    bool changeSent = false;   // SetNetworkInterfaces went out (the camera's state may have changed)
    bool rebootNeeded = false; // the camera answered RebootNeeded
    bool ok() const { return error == CallError::None && detail.empty(); }
};

inline bool IsAuthError(CallError error) {
    return error == CallError::AuthRefused || error == CallError::AuthNeeded;
}

// Why a call of a change failed, for the report's detail: the authentication refusals by their word
// alone (scripts match "auth refused"), anything else with the call's name and particulars.
template <class T> std::string FailureText(const Outcome<T>& outcome, const char* call) {
    const CallError error = outcome.error == CallError::None ? CallError::BadAnswer : outcome.error;
    if (IsAuthError(error))
        return CallErrorText(error);
    return std::string(call) + ": " + CallErrorText(error) +
           (outcome.detail.empty() ? "" : ": " + outcome.detail);
}

// The interface that holds `address`, else the first; nullptr when there is none.
const NetworkInterface* InterfaceHolding(const std::vector<NetworkInterface>& interfaces, Ipv4 address);

AddressSent SendAddressChange(DeviceClient& client, const AddressRequest& request);

// An authenticated GetNetworkInterfaces at the client's XAddr: true when an interface holds `address`
// (manual or from DHCP).
Outcome<bool> HoldsAddress(DeviceClient& client, Ipv4 address);

} // namespace quillctl::onvif
