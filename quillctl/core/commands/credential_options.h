#pragma once
// The camera credentials a command was given: --user with its password (QUILLCTL_PASSWORD, else
// --password-file, else typed on the terminal without echo), and a --credentials file. A password is
// never an option's value: it would show in the process list.
#include <string>

#include "commands/host.h"
#include "onvif/credentials.h"

namespace quillctl {

inline constexpr const char* kPasswordVariable = "QUILLCTL_PASSWORD";

struct CredentialOptions {
    std::string user;
    std::string passwordFile;
    std::string credentialsFile;
};

// Throws CommandError (exit 2) for a password that cannot be had or a file that cannot be read.
onvif::CredentialBook LoadCredentials(Host& host, const CredentialOptions& options);

} // namespace quillctl
