#pragma once
// One camera step's state in a change run, shared by the run's two halves (change_run.cpp keeps them,
// change_run_cameras.cpp works them).
#include <future>
#include <memory>
#include <string>

#include "onvif/camera_readdress.h"
#include "onvif/device_client.h"
#include "plan/change_run.h"

namespace quillctl {

struct ChangeRun::CameraWork {
    enum class Stage { Changing, Rebooting, Awaiting, Checking };
    Stage stage = Stage::Changing;
    // Declared before the calls that use them, so that each call is over before its client goes.
    std::unique_ptr<onvif::DeviceClient> client;  // at the address it had
    std::unique_ptr<onvif::DeviceClient> checker; // at the XAddr it was seen at after the change
    std::future<onvif::AddressSent> change;
    std::future<onvif::Outcome<std::string>> reboot;
    std::future<onvif::Outcome<bool>> check;
    std::string seenAt;    // the XAddr at the new address it was last seen with
    std::string checkedAt; // the XAddr of the check under way
    Clock::time_point lastCheck{};
};

} // namespace quillctl
