#pragma once

#include <string>

namespace quillsim {

// The --help text: options, log lines and the ready line, the things a tester or harness needs.
std::string usage_text();

} // namespace quillsim
