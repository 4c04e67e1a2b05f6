#pragma once
// One quillctl command line run against a fake host, with what it printed and its exit status; and the
// small things the command tests build their LANs and read their output with.
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "commands/command_line.h"
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

// One of our devices, number n (its MAC from MacNumber), at this address text on this link.
inline FakeDevice Device(int n, std::string ip, size_t link = 0) {
    FakeDevice device;
    device.mac = MacNumber(n);
    device.ip = std::move(ip);
    device.link = link;
    return device;
}

inline int Lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace quillctl::testing
