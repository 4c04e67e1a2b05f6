// Cameras re-addressed through their device services, in memory: what is asked in which order, what
// ends a change, and the password in no output.
#include <gtest/gtest.h>

#include "command_run.h"

namespace quillctl {
namespace {

using testing::FakeCamera;
using testing::FakeHost;
using testing::Quillctl;

const std::string kPassword = "Sesame-7!";
const std::string kEndpoint = "urn:uuid:5a1b0000-0000-4000-8000-000000000001";

std::vector<std::string> OperationsOnly(const FakeHost& host) {
    std::vector<std::string> names;
    for (const std::string& operation : host.cameras.Operations())
        names.push_back(operation.substr(0, operation.find(' ')));
    return names;
}

void ExpectNoPassword(const FakeHost& host, const testing::Outcome& run) {
    EXPECT_EQ(run.out.find(kPassword), std::string::npos);
    EXPECT_EQ(run.err.find(kPassword), std::string::npos);
    EXPECT_EQ(host.cameras.AllSent().find(kPassword), std::string::npos) << "never in clear on the wire";
}

TEST(CameraChange, GatewayThenAddressThenTheRebootSaidFirstThenTheCheckAtTheNewAddress) {
    FakeHost host(testing::OneLanHost());
    FakeCamera camera;
    camera.clockOffset = std::chrono::hours(1);
    testing::AddCamera(host, 1, camera);
    host.environment["QUILLCTL_PASSWORD"] = kPassword;
    testing::Outcome run = Quillctl(host, {"set-ip", kEndpoint, "198.51.100.40", "--user", "admin",
                                           "--gateway", "198.51.100.254", "--prefix-length", "25"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, kEndpoint + ": 198.51.100.131 -> 198.51.100.40\n");
    EXPECT_NE(run.err.find("needs a reboot for 198.51.100.40: rebooting it"), std::string::npos) << run.err;
    std::vector<std::string> asked = host.cameras.Operations();
    std::vector<std::string> expected = {
        "GetSystemDateAndTime", "GetNetworkInterfaces", "SetNetworkDefaultGateway", "SetNetworkInterfaces",
        "SystemReboot",         "GetSystemDateAndTime", "GetNetworkInterfaces"};
    EXPECT_EQ(OperationsOnly(host), expected);
    ASSERT_EQ(asked.size(), expected.size());
    EXPECT_EQ(asked.back(), "GetNetworkInterfaces http://198.51.100.40/onvif/device_service");
    const FakeCamera& moved = host.cameras["http://198.51.100.40/onvif/device_service"];
    EXPECT_EQ(moved.gateway, "198.51.100.254");
    EXPECT_EQ(moved.prefixLength, 24) << "the fake keeps its prefix; the request carried 25";
    EXPECT_NE(host.cameras.AllSent().find("<tt:PrefixLength>25</tt:PrefixLength>"), std::string::npos);
    ExpectNoPassword(host, run);
}

TEST(CameraChange, ARefusalOrARebootLeftToTheUserIsNotDoneAndNothingFollowsARefusal) {
    FakeHost host(testing::OneLanHost());
    testing::AddCamera(host, 1);
    host.environment["QUILLCTL_PASSWORD"] = "wrong-one";
    testing::Outcome refused =
        Quillctl(host, {"set-ip", "198.51.100.131", "198.51.100.40", "--user", "admin"});
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find(kEndpoint + ": auth refused"), std::string::npos) << refused.err;
    std::vector<std::string> beforeRefusal = {"GetSystemDateAndTime", "GetNetworkInterfaces"};
    EXPECT_EQ(OperationsOnly(host), beforeRefusal) << "nothing after the refusal";

    FakeHost unrebooted(testing::OneLanHost());
    testing::AddCamera(unrebooted, 1);
    unrebooted.environment["QUILLCTL_PASSWORD"] = kPassword;
    testing::Outcome left =
        Quillctl(unrebooted, {"set-ip", kEndpoint, "198.51.100.40", "--user", "admin", "--no-reboot"});
    EXPECT_EQ(left.status, 3);
    EXPECT_NE(left.err.find("needs a reboot for it (--no-reboot)"), std::string::npos) << left.err;
    EXPECT_EQ(OperationsOnly(unrebooted).back(), "SetNetworkInterfaces");
    ExpectNoPassword(unrebooted, left);
}

} // namespace
} // namespace quillctl
