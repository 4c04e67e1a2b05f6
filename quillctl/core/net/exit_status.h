#pragma once
// The exit statuses scripts rely on, and the error that carries one up to main.
#include <stdexcept>
#include <string>

namespace quillctl {

enum ExitStatus : int {
    kExitDone = 0,         // done as asked
    kExitFailure = 1,      // anything else: a socket that cannot be set up, an interrupted run
    kExitUsage = 2,        // bad usage: unknown option or interface, refused address, bad plan
    kExitNotConfirmed = 3, // a change not confirmed in time, or confirmed with another address
    kExitNotFound = 4,     // a named device (or the --count number of devices) did not answer
};

// Ends a command: main prints the message as one line on standard error and exits with the status.
class CommandError : public std::runtime_error {
  public:
    CommandError(int status, const std::string& message) : std::runtime_error(message), status_(status) {}
    int status() const { return status_; }

  private:
    int status_;
};

} // namespace quillctl
