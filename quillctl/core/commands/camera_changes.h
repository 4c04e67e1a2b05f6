#pragma once
// What set-ip and apply add to a change run when cameras are in it: each camera's credentials, and the
// services, wait and reboot rule of the run.
#include <optional>
#include <ostream>
#include <string>

#include "commands/host.h"
#include "onvif/credentials.h"
#include "plan/change_run.h"
#include "plan/progress_line.h"

namespace quillctl {

// The credentials for the item's camera: the book's for its endpoint or MAC, with the user `planUser`
// names when it names one (the password stays the book's).
std::optional<onvif::Credentials> CameraCredentials(const onvif::CredentialBook& book, const ChangeItem& item,
                                                    const std::string& planUser = "");

// Gives the run the host's HTTP and crypto when any item is a camera; a reboot is said on `err`
// before it is asked (the progress line, if any, cleared first).
void UseCamerasOf(ChangeRun& run, const std::vector<ChangeItem>& items, Host& host, double waitSeconds,
                  bool reboot, std::ostream& err, ProgressLine* progress = nullptr);

} // namespace quillctl
