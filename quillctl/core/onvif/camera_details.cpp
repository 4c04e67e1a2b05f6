#include "onvif/camera_details.h"

#include "onvif/camera_readdress.h"

namespace quillctl::onvif {

namespace {

// Keeps what one call said about authentication and the first other failure; true when the camera
// answered.
template <class T> bool Note(const Outcome<T>& outcome, bool& needed, CameraDetails& details) {
    if (outcome.error == CallError::AuthNeeded)
        needed = true;
    else if (outcome.error == CallError::AuthRefused)
        details.auth = AuthResult::Refused;
    else if (outcome.error != CallError::None && details.problem.empty())
        details.problem =
            std::string(CallErrorText(outcome.error)) + (outcome.detail.empty() ? "" : ": " + outcome.detail);
    return outcome.error == CallError::None || outcome.error == CallError::AuthNeeded ||
           outcome.error == CallError::AuthRefused || outcome.error == CallError::Fault;
}

} // namespace

const char* AuthResultText(AuthResult result) {
    switch (result) {
    case AuthResult::Unknown:
        return "";
    case AuthResult::None:
        return "none";
    case AuthResult::Accepted:
        return "ok";
    case AuthResult::Needed:
        return "needed";
    case AuthResult::Refused:
        return "refused";
    }
    return "";
}

CameraDetails ReadCameraDetails(DeviceClient& client, Ipv4 address, bool withCredentials) {
    CameraDetails details;
    bool needed = false, answered = false;
    // Its clock first: the UsernameToken's time is the camera's. A camera that cannot be reached is
    // not asked three more times.
    auto clock = client.GetSystemDateAndTime();
    if (clock.error == CallError::Transport) {
        Note(clock, needed, details);
        return details;
    }
    answered = clock.error != CallError::BadAnswer && clock.error != CallError::HttpStatus;

    auto information = client.GetDeviceInformation();
    answered = Note(information, needed, details) || answered;
    details.information = information.value;
    auto interfaces = client.GetNetworkInterfaces();
    answered = Note(interfaces, needed, details) || answered;
    if (interfaces.value)
        if (const NetworkInterface* interface = InterfaceHolding(*interfaces.value, address))
            details.interface = *interface;
    auto gateway = client.GetNetworkDefaultGateway();
    answered = Note(gateway, needed, details) || answered;
    details.gateway = gateway.value;

    if (details.auth == AuthResult::Refused || !answered)
        return details;
    details.auth = needed ? AuthResult::Needed : withCredentials ? AuthResult::Accepted : AuthResult::None;
    return details;
}

std::vector<CameraDetails> ReadAllCameraDetails(HttpTransport& transport, Crypto& crypto,
                                                const std::vector<CameraQuery>& queries, size_t bound) {
    std::vector<CameraDetails> results(queries.size());
    ForEachBounded(queries.size(), bound, [&](size_t index) {
        const CameraQuery& query = queries[index];
        try {
            DeviceClient client(transport, crypto, query.xaddr, query.credentials);
            results[index] = ReadCameraDetails(client, query.address, query.credentials.has_value());
        } catch (const std::exception& error) {
            results[index].problem = std::string("cannot ask it: ") + error.what();
        }
    });
    return results;
}

} // namespace quillctl::onvif
