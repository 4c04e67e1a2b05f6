#pragma once
// One quillctl command line run against a fake host, with what it printed and its exit status.
#include <sstream>
#include <string>
#include <vector>

#include "command_line.h"
#include "fake_lan.h"

namespace quillctl::testing {

struct Outcome {
    int status = -1;
    std::string out, err;
};

inline Outcome Quillctl(FakeHost& host, std::vector<std::string> args) {
    std::ostringstream out, err;
    Outcome run;
    run.status = RunCommandLine(args, host, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

} // namespace quillctl::testing
