#pragma once
// quillctl's command line: options read with CLI11, the command run, and every way it ends turned into
// an exit status and at most one error line.
#include <ostream>
#include <string>
#include <vector>

#include "commands/host.h"

namespace quillctl {

// `args` without the program's name, as UTF-8.
int RunCommandLine(const std::vector<std::string>& args, Host& host, std::ostream& out, std::ostream& err);

} // namespace quillctl
