#pragma once
// One camera's device service at its XAddr: the calls, each one HTTP POST, authenticated as the camera
// asks. With credentials every call but GetSystemDateAndTime carries a WS-Security UsernameToken whose
// time is the camera's own (learnt from GetSystemDateAndTime, asked first); a camera that answers 401
// with a Digest challenge gets HTTP Digest instead, from then on. A refusal ends the conversation:
// nothing more is sent to that camera. Only HTTP; the password is never sent, never in a detail text.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "onvif/crypto.h"
#include "onvif/device_service.h"
#include "onvif/http_digest.h"
#include "onvif/http_transport.h"

namespace quillctl::onvif {

struct Credentials {
    std::string user;
    std::string password;
};

enum class CallError {
    None,
    AuthNeeded,  // the camera wants credentials and none were given
    AuthRefused, // the credentials were refused (or could only be sent in clear: Basic)
    Transport,   // no connection, no whole answer in time, an answer too large
    Redirect,    // a 3xx: never followed
    HttpStatus,  // another status without a SOAP answer
    Fault,       // a SOAP fault other than an authentication one
    BadAnswer,   // not SOAP, or not the answer to the call
};

template <class T> struct Outcome {
    std::optional<T> value;
    CallError error = CallError::None;
    std::string detail; // for a message: escaped already, never holds the password
    explicit operator bool() const { return value.has_value(); }
};

class DeviceClient {
  public:
    using WallClock = std::function<std::chrono::system_clock::time_point()>;

    // `xaddr` is an http URL as ParseHttpXAddr takes it.
    DeviceClient(HttpTransport& transport, Crypto& crypto, std::string xaddr,
                 std::optional<Credentials> credentials, WallClock now = std::chrono::system_clock::now,
                 HttpLimits limits = {});

    // Unauthenticated (cameras answer it so that clients can learn their clock); sets the offset.
    Outcome<std::chrono::system_clock::time_point> GetSystemDateAndTime();
    Outcome<DeviceInformation> GetDeviceInformation();
    Outcome<std::vector<NetworkInterface>> GetNetworkInterfaces();
    Outcome<NetworkGateway> GetNetworkDefaultGateway();
    // The value: whether the camera needs a reboot for the change.
    Outcome<bool> SetNetworkInterfaces(const std::string& token, Ipv4Setting setting);
    Outcome<bool> SetNetworkDefaultGateway(Ipv4 gateway);
    // The value: the camera's message.
    Outcome<std::string> SystemReboot();

    bool refused() const { return refused_; }
    bool usesHttpDigest() const { return digest_.has_value(); }
    // The camera's clock minus ours.
    std::chrono::system_clock::duration clockOffset() const { return offset_; }

  private:
    struct Exchange {
        CallError error = CallError::None;
        std::string detail;
        SoapAnswer answer;
    };
    template <class T, class Read>
    Outcome<T> Call(std::string_view operation, bool authenticate,
                    const std::function<void(SoapRequest&)>& fill, Read read);
    Exchange Send(std::string_view operation, bool authenticate,
                  const std::function<void(SoapRequest&)>& fill);
    HttpResponse Post(const std::string& body);

    HttpTransport& transport_;
    Crypto& crypto_;
    std::string xaddr_;
    std::string path_; // the XAddr's path, for Digest's uri
    std::optional<Credentials> credentials_;
    WallClock now_;
    HttpLimits limits_;
    std::chrono::system_clock::duration offset_{};
    std::optional<DigestChallenge> digest_;
    unsigned digestCount_ = 0;
    bool refused_ = false;
};

// "auth refused", "no answer: ...", for messages.
const char* CallErrorText(CallError error);

} // namespace quillctl::onvif
