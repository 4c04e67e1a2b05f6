#include "onvif/camera_readdress.h"

namespace quillctl::onvif {

namespace {

template <class T> AddressSent Failure(const Outcome<T>& outcome, const char* call, AddressSent sent) {
    sent.error = outcome.error == CallError::None ? CallError::BadAnswer : outcome.error;
    sent.detail = FailureText(outcome, call);
    return sent;
}

} // namespace

const NetworkInterface* InterfaceHolding(const std::vector<NetworkInterface>& interfaces, Ipv4 address) {
    for (const NetworkInterface& interface : interfaces)
        if (std::optional<Ipv4Setting> current = interface.Current(); current && current->address == address)
            return &interface;
    return interfaces.empty() ? nullptr : &interfaces.front();
}

AddressSent SendAddressChange(DeviceClient& client, const AddressRequest& request) {
    AddressSent sent;
    // Its clock first: the UsernameToken's time must be the camera's. A camera that cannot be reached
    // is asked nothing more.
    auto clock = client.GetSystemDateAndTime();
    if (clock.error == CallError::Transport || clock.error == CallError::Redirect)
        return Failure(clock, "GetSystemDateAndTime", sent);
    auto interfaces = client.GetNetworkInterfaces();
    if (!interfaces)
        return Failure(interfaces, "GetNetworkInterfaces", sent);
    const NetworkInterface* interface = InterfaceHolding(*interfaces.value, request.oldAddress);
    if (interface == nullptr || interface->token.empty()) {
        sent.error = CallError::BadAnswer;
        sent.detail = "GetNetworkInterfaces: the camera named no interface to change";
        return sent;
    }
    int prefixLength = request.prefixLength.value_or(0);
    if (prefixLength == 0) {
        std::optional<Ipv4Setting> current = interface->Current();
        prefixLength = current && current->prefixLength > 0 ? current->prefixLength : 24;
    }
    sent.changeSent = true;
    if (request.gateway) {
        auto gateway = client.SetNetworkDefaultGateway(*request.gateway);
        if (!gateway)
            return Failure(gateway, "SetNetworkDefaultGateway", sent);
    }
    auto changed = client.SetNetworkInterfaces(interface->token, Ipv4Setting{request.target, prefixLength});
    if (!changed)
        return Failure(changed, "SetNetworkInterfaces", sent);
    sent.rebootNeeded = *changed.value;
    return sent;
}

Outcome<bool> HoldsAddress(DeviceClient& client, Ipv4 address) {
    Outcome<bool> result;
    auto clock = client.GetSystemDateAndTime();
    if (clock.error == CallError::Transport) {
        result.error = clock.error;
        result.detail = clock.detail;
        return result;
    }
    auto interfaces = client.GetNetworkInterfaces();
    result.error = interfaces.error;
    result.detail = interfaces.detail;
    if (!interfaces)
        return result;
    bool holds = false;
    for (const NetworkInterface& interface : *interfaces.value)
        if (std::optional<Ipv4Setting> current = interface.Current())
            holds = holds || current->address == address;
    result.value = holds;
    return result;
}

} // namespace quillctl::onvif
