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

// Camera n (1 to 9) at 198.51.100.13n on lan0, with its device service; its scopes give no MAC.
inline FakeCamera& AddCamera(FakeHost& host, int n, FakeCamera camera = {}) {
    FakeOnvifDevice device;
    std::string ip = "198.51.100.13" + std::to_string(n);
    device.sample.endpoint = "urn:uuid:5a1b0000-0000-4000-8000-00000000000" + std::to_string(n);
    device.sample.scopes = "onvif://www.onvif.org/name/Cam" + std::to_string(n);
    device.sample.xaddrs = "http://" + ip + "/onvif/device_service";
    device.source = ip;
    host.onvifDevices.push_back(device);
    camera.ip = ip;
    camera.mac = "02:00:00:00:99:0" + std::to_string(n);
    camera.serial = "SN" + std::to_string(n);
    host.cameras.Add(device.sample.xaddrs, camera);
    return host.cameras[device.sample.xaddrs];
}

inline int Lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace quillctl::testing
