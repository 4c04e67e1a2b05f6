#pragma once

#include "base/sim_clock.hpp"
#include "camera_auth.hpp"
#include "camera_facts.hpp"
#include "http_message.hpp"
#include "soap_call.hpp"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace quillsim {

enum class CameraFault {
    none,
    hang, // reads every request and never answers
    huge, // pads every answer past kHugeAnswerBytes
};

inline constexpr std::size_t kHugeAnswerBytes = 2 * 1024 * 1024;

// What can differ from camera to camera of one simulator.
struct CameraSettings {
    double clock_offset_s = 0; // the camera's clock runs this far ahead of the real one
    AuthMode auth = AuthMode::token;
    bool reboot_needed = false; // SetNetworkInterfaces answers RebootNeeded true and waits for SystemReboot
    CameraFault fault = CameraFault::none;
};

struct CameraServiceConfig {
    std::size_t index = 0;
    Ipv4 first_address;
    int http_port = 80;
    Millis reboot_ms = 0;
    CameraSettings settings;
    std::optional<CameraCredentials> credentials; // nothing: no user is set up, every call is served
    std::function<bool(Ipv4)> may_hold;           // whether the simulator may put an address on its link
};

// One call and what came of it, for the server (what to send, and whether to go silent after) and the log.
struct ServiceExchange {
    HttpAnswer answer;
    bool hang = false;
    std::string operation; // the body element's local name; empty when the request was no SOAP call
    std::string result;    // "ok", "fault", "needed" (no credentials), "refused", "hung"
    AuthOutcome auth;
    std::string detail;        // a fault's reason
    bool going_silent = false; // the answer is the camera's last before it reboots
};

// A camera back from its reboot, with the settings it now runs with.
struct CameraReturn {
    std::size_t index = 0;
    Ipv4 old_address;
    CameraNetwork network;
};

// One camera's device service (and the bit of the media service clients read on connecting): the calls,
// who may make them, and the network settings with their reboot. Calls that any caller may make:
// GetSystemDateAndTime and GetCapabilities, as cameras serve them before authentication; everything else
// needs the user when one is set up.
class CameraService {
  public:
    explicit CameraService(CameraServiceConfig config);

    ServiceExchange handle(const HttpRequest& request, Millis now, double wall_seconds);

    bool serving() const { return !back_at_.has_value(); }
    std::optional<Millis> back_at() const { return back_at_; }
    // When the reboot is over: the settings it came back with.
    std::optional<CameraReturn> come_back(Millis now);

    const CameraNetwork& network() const { return network_; }
    const CameraFacts& facts() const { return facts_; }
    double camera_seconds(double wall_seconds) const {
        return wall_seconds + config_.settings.clock_offset_s;
    }

  private:
    ServiceExchange answer(const SoapCall& call, Millis now, double wall_seconds);
    ServiceExchange set_interfaces(const SoapCall& call, Millis now);
    ServiceExchange set_gateway(const SoapCall& call);
    void start_reboot(Millis now);

    CameraServiceConfig config_;
    CameraFacts facts_;
    CameraNetwork network_;
    std::optional<CameraNetwork> pending_; // set, not yet in effect
    std::optional<Millis> back_at_;        // rebooting until then
    std::optional<CameraAuth> auth_;
};

} // namespace quillsim
