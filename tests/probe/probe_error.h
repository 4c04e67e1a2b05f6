// The one failure type of the probe: its message becomes the "err" answer of the command.
#pragma once

#include <stdexcept>
#include <string>

class ProbeError : public std::runtime_error {
  public:
    explicit ProbeError(const std::string& message) : std::runtime_error(message) {}
};
