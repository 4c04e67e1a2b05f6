// info and find --details against cameras in memory: the fields, the credentials' sources and the
// password in no output.
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>

#include "command_run.h"

namespace quillctl {
namespace {

using testing::FakeCamera;
using testing::FakeHost;
using testing::FakeOnvifDevice;
using testing::Quillctl;

const std::string kPassword = "Sesame-7!";

struct InfoTest : ::testing::Test {
    FakeHost host{testing::OneLanHost()};

    FakeCamera& AddCamera(int n, FakeCamera camera = {}) { return testing::AddCamera(host, n, camera); }

    nlohmann::json Rows(const testing::Outcome& run) {
        EXPECT_EQ(run.out.find(kPassword), std::string::npos);
        EXPECT_EQ(run.err.find(kPassword), std::string::npos);
        return nlohmann::json::parse(run.out);
    }
};

TEST_F(InfoTest, EveryCameraIsDescribedAndARefusalIsListed) {
    AddCamera(1);
    FakeCamera dhcp;
    dhcp.dhcp = true;
    dhcp.prefixLength = 23;
    dhcp.clockOffset = std::chrono::hours(3);
    AddCamera(2, dhcp);
    FakeCamera other;
    other.password = "another";
    AddCamera(3, other);
    host.environment["QUILLCTL_PASSWORD"] = kPassword;
    testing::Outcome run = Quillctl(host, {"info", "--user", "admin", "-f", "json"});
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.err.find("auth refused"), std::string::npos) << run.err;
    nlohmann::json rows = Rows(run);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0]["manufacturer"], "Acme");
    EXPECT_EQ(rows[0]["model"], "Dome 2");
    EXPECT_EQ(rows[0]["firmware"], "1.2.3");
    EXPECT_EQ(rows[0]["serial"], "SN1");
    EXPECT_EQ(rows[0]["mac"], "02-00-00-00-99-01") << "from the camera's interface";
    EXPECT_EQ(rows[0]["dhcp"], false);
    EXPECT_EQ(rows[0]["prefix_length"], 24);
    EXPECT_EQ(rows[0]["gateway"], "198.51.100.1");
    EXPECT_EQ(rows[0]["auth"], "ok");
    EXPECT_EQ(rows[1]["dhcp"], true);
    EXPECT_EQ(rows[1]["prefix_length"], 23);
    EXPECT_EQ(rows[1]["auth"], "ok") << "its clock three hours ahead";
    EXPECT_EQ(rows[2]["auth"], "refused");
    EXPECT_TRUE(rows[2]["manufacturer"].is_null());
}

TEST_F(InfoTest, CredentialsFilePerCameraAndNoCredentials) {
    FakeCamera open;
    open.infoWithoutAuth = true;
    AddCamera(1, open);
    FakeCamera other;
    other.password = "an other one";
    AddCamera(2, other);
    testing::Outcome none = Quillctl(host, {"find", "--protocol", "onvif", "--details", "-f", "json"});
    nlohmann::json rows = Rows(none);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["auth"], "needed");
    EXPECT_EQ(rows[0]["manufacturer"], "Acme") << "what it answers unauthenticated is shown";
    EXPECT_EQ(rows[1]["auth"], "needed");

    host.secretFiles["creds"] = "# site A\n* admin " + kPassword +
                                "\nurn:uuid:5a1b0000-0000-4000-8000-000000000002 admin an other one\r\n";
    testing::Outcome filed = Quillctl(host, {"info", "--credentials", "creds", "-f", "json"});
    EXPECT_EQ(filed.status, 0) << filed.err;
    rows = Rows(filed);
    EXPECT_EQ(rows[0]["auth"], "ok");
    EXPECT_EQ(rows[1]["auth"], "ok");
    EXPECT_EQ(host.cameras.AllSent().find("an other one"), std::string::npos);

    // Named by the MAC only its interface gives; a password is never taken from an option.
    testing::Outcome byMac =
        Quillctl(host, {"info", "02:00:00:00:99:02", "--credentials", "creds", "-f", "csv"});
    EXPECT_EQ(byMac.status, 0) << byMac.err;
    EXPECT_EQ(testing::Lines(byMac.out), 2);
    EXPECT_EQ(Quillctl(host, {"info", "--user", "admin"}).status, 2) << "no password source, no terminal";
    EXPECT_EQ(Quillctl(host, {"info", "--password", kPassword}).status, 2);
}

// A camera that answers on two cards is a row per card: each row gets its details, from the XAddr that
// card's answer gave; one XAddr on both cards is one camera, asked once.
TEST(InfoOnTwoCards, EveryRowIsFilledAndOneXAddrIsAskedOnce) {
    for (bool sameXAddr : {false, true}) {
        FakeHost host(testing::TwoLanHost());
        FakeOnvifDevice wired;
        wired.sample.endpoint = "urn:uuid:5a1b0000-0000-4000-8000-000000000001";
        wired.sample.xaddrs = "http://198.51.100.131/onvif/device_service";
        if (!sameXAddr)
            wired.sample.xaddrs += " http://203.0.113.131/onvif/device_service";
        FakeOnvifDevice wireless = wired;
        wireless.link = 1;
        wireless.source = sameXAddr ? "198.51.100.131" : "203.0.113.131";
        host.onvifDevices = {wired, wireless};
        FakeCamera camera;
        host.cameras.Add("http://198.51.100.131/onvif/device_service", camera);
        camera.ip = "203.0.113.131";
        host.cameras.Add("http://203.0.113.131/onvif/device_service", camera);
        host.environment["QUILLCTL_PASSWORD"] = kPassword;
        testing::Outcome run = Quillctl(host, {"info", "--user", "admin", "-f", "json"});
        EXPECT_EQ(run.status, 0) << run.err;
        nlohmann::json rows = nlohmann::json::parse(run.out);
        ASSERT_EQ(rows.size(), 2u) << run.out;
        for (const nlohmann::json& row : rows) {
            EXPECT_EQ(row["auth"], "ok") << row;
            EXPECT_EQ(row["serial"], "SN0001") << row;
        }
        std::map<std::string, int> asked;
        for (const testing::SeenRequest& request : host.cameras.Requests())
            asked[request.url] += request.body.find("GetDeviceInformation") != std::string::npos;
        EXPECT_EQ(asked.size(), sameXAddr ? 1u : 2u);
        for (const auto& [url, times] : asked)
            EXPECT_EQ(times, 1) << url;
    }
}

} // namespace
} // namespace quillctl
