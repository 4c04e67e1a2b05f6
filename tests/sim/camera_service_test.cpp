// The cameras' device service: who may call what (UsernameToken against the camera's own clock, HTTP
// Digest), and the network settings' way through a reboot. Requests are written out by hand as clients
// send them; hashes come from libcrypto, as a client's would.
#include "onvif/camera_service.hpp"
#include "onvif/crypto.hpp"
#include "soap_fixtures.hpp"

#include <gtest/gtest.h>

namespace quillsim {
namespace {

using test::operator+;

constexpr char kTt[] = "http://www.onvif.org/ver10/schema";
constexpr char kPassword[] = "s3cret pa55";
constexpr double kNow = 1796725651; // the real clock, Unix seconds
constexpr Millis kRebootMs = 4000;

CameraService camera(CameraSettings settings = {}) {
    CameraServiceConfig config;
    config.index = 3;
    config.first_address = *parse_ipv4("198.51.100.133");
    config.reboot_ms = kRebootMs;
    config.settings = settings;
    config.credentials = CameraCredentials{"admin", kPassword};
    config.may_hold = [](Ipv4 a) { return a.value >> 8 == 0xC63364; }; // 198.51.100.0/24
    return CameraService(config);
}

std::string iso_time(double seconds) {
    const std::time_t whole = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&whole, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// A UsernameToken header as clients write it: PasswordDigest = Base64(SHA-1(nonce + created + password)).
std::string token(double created, const std::string& nonce, const std::string& password = kPassword,
                  const std::string& type = "PasswordDigest") {
    const std::string stamp = iso_time(created);
    const Bytes hash = sha1(nonce + stamp + password);
    return R"(<Security xmlns="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd">)"
           "<UsernameToken><Username>admin</Username>"
           R"(<Password Type="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-username-token-profile-1.0#)" +
           type + "\">" + base64_encode(std::string(hash.begin(), hash.end())) + "</Password><Nonce>" +
           base64_encode(nonce) + "</Nonce>" +
           R"(<Created xmlns="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd">)" +
           stamp + "</Created></UsernameToken></Security>";
}

HttpRequest call(const std::string& operation, const std::string& header = "",
                 const std::string& inner = "") {
    HttpRequest request;
    request.method = "POST";
    request.target = "/onvif/device_service";
    request.body =
        std::string(R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope"><s:Header>)") + header +
        "</s:Header><s:Body><" + operation + R"( xmlns="http://www.onvif.org/ver10/device/wsdl">)" + inner +
        "</" + operation + "></s:Body></s:Envelope>";
    return request;
}

test::SoapReader read(const ServiceExchange& exchange) {
    return test::SoapReader(test::bytes(exchange.answer.body));
}

const test::Path kBody{{test::kSoap, "Envelope"}, {test::kSoap, "Body"}};

std::string set_address(const std::string& address) {
    return "<InterfaceToken>eth0</InterfaceToken><NetworkInterface><IPv4 "
           "xmlns=\"http://www.onvif.org/ver10/schema\">"
           "<Enabled>true</Enabled><Manual><Address>" +
           address +
           "</Address><PrefixLength>25</PrefixLength></Manual><DHCP>false</DHCP></IPv4></NetworkInterface>";
}

TEST(CameraAuthentication, UsernameTokenIsCheckedAgainstTheCamerasClockAndEachNonceServesOnce) {
    CameraSettings settings;
    settings.clock_offset_s = 3600; // the camera's clock runs an hour ahead
    CameraService cam = camera(settings);

    // Anyone may ask the time, and learns the camera's.
    const auto time = cam.handle(call("GetSystemDateAndTime"), 0, kNow);
    ASSERT_EQ(time.answer.status, 200);
    const auto utc = kBody + test::Step{test::kTds, "GetSystemDateAndTimeResponse"} +
                     test::Step{test::kTds, "SystemDateAndTime"} + test::Step{kTt, "UTCDateTime"};
    std::tm shown{};
    const auto camera_time = static_cast<std::time_t>(kNow + 3600);
    gmtime_r(&camera_time, &shown);
    EXPECT_EQ(read(time).text(utc + test::Step{kTt, "Time"} + test::Step{kTt, "Hour"}),
              std::to_string(shown.tm_hour));

    const auto on_camera_time =
        cam.handle(call("GetDeviceInformation", token(kNow + 3600, "nonce-1")), 0, kNow);
    EXPECT_EQ(on_camera_time.answer.status, 200);
    EXPECT_EQ(on_camera_time.auth.method, "token");
    EXPECT_EQ(read(on_camera_time)
                  .text(kBody + test::Step{test::kTds, "GetDeviceInformationResponse"} +
                        test::Step{test::kTds, "SerialNumber"}),
              "QSC63364850003");

    struct Case {
        const char* what;
        std::string header;
    };
    for (const Case& bad :
         {Case{"the same nonce again", token(kNow + 3600, "nonce-1")},
          Case{"created on the caller's clock, an hour off", token(kNow, "nonce-2")},
          Case{"a wrong password", token(kNow + 3600, "nonce-3", "guess")},
          Case{"the password in clear", token(kNow + 3600, "nonce-4", kPassword, "PasswordText")},
          Case{"no credentials", ""}}) {
        const auto refused = cam.handle(call("GetDeviceInformation", bad.header), 0, kNow);
        EXPECT_EQ(refused.answer.status, 400) << bad.what;
        EXPECT_EQ(read(refused).text(kBody + test::Step{test::kSoap, "Fault"} +
                                     test::Step{test::kSoap, "Code"} + test::Step{test::kSoap, "Subcode"} +
                                     test::Step{test::kSoap, "Value"}),
                  "ter:NotAuthorized")
            << bad.what;
        EXPECT_EQ(refused.answer.body.find(kPassword), std::string::npos) << bad.what;
        EXPECT_EQ(refused.detail.find(kPassword), std::string::npos) << bad.what;
    }
}

// The answer to a challenge, as RFC 7616 computes it for MD5 and qop=auth.
std::string digest_answer(const std::string& challenge, const std::string& password, const std::string& nc) {
    const auto start = challenge.find("nonce=\"") + 7;
    const std::string nonce = challenge.substr(start, challenge.find('"', start) - start);
    const std::string ha1 = md5_hex("admin:quillsim:" + password);
    const std::string ha2 = md5_hex("POST:/onvif/device_service");
    const std::string response = md5_hex(ha1 + ":" + nonce + ":" + nc + ":c0ffee:auth:" + ha2);
    return "Digest username=\"admin\", realm=\"quillsim\", nonce=\"" + nonce +
           "\", uri=\"/onvif/device_service\", qop=auth, nc=" + nc + ", cnonce=\"c0ffee\", response=\"" +
           response + "\"";
}

TEST(CameraAuthentication, DigestOnlyCamerasChallengeAndTakeEachCountOnce) {
    CameraSettings settings;
    settings.auth = AuthMode::digest;
    CameraService cam = camera(settings);

    // A UsernameToken, even a right one, is not what this camera takes: it challenges.
    const auto first = cam.handle(call("GetNetworkInterfaces", token(kNow, "n")), 0, kNow);
    ASSERT_EQ(first.answer.status, 401);
    ASSERT_EQ(first.answer.headers.size(), 1u);
    const std::string challenge = first.answer.headers[0].second;
    EXPECT_TRUE(challenge.starts_with("Digest realm=\"quillsim\", qop=\"auth\", algorithm=MD5")) << challenge;

    auto with = [&](const std::string& authorization) {
        HttpRequest request = call("GetNetworkInterfaces");
        request.headers["authorization"] = authorization;
        return cam.handle(request, 1000, kNow);
    };
    const auto granted = with(digest_answer(challenge, kPassword, "00000001"));
    EXPECT_EQ(granted.answer.status, 200);
    EXPECT_EQ(granted.auth.method, "digest");
    EXPECT_EQ(with(digest_answer(challenge, kPassword, "00000001")).answer.status, 401) << "a replayed count";
    EXPECT_EQ(with(digest_answer(challenge, kPassword, "00000002")).answer.status, 200);
    const auto wrong = with(digest_answer(challenge, "guess", "00000003"));
    EXPECT_EQ(wrong.answer.status, 401);
    EXPECT_EQ(wrong.result, "refused");
}

TEST(CameraNetworkSettings, ANewAddressTakesEffectAfterTheRebootAndOnlyThen) {
    for (const bool reboot_needed : {false, true}) {
        CameraSettings settings;
        settings.reboot_needed = reboot_needed;
        CameraService cam = camera(settings);
        Millis now = 0;
        auto granted = [&](const std::string& operation, const std::string& inner = "") {
            static int nonce = 0;
            return cam.handle(call(operation, token(kNow, "n" + std::to_string(++nonce)), inner), now, kNow);
        };
        EXPECT_EQ(granted("SetNetworkInterfaces", set_address("10.0.0.5")).answer.status, 400)
            << "a camera of the simulator holds no address outside the lab";

        const auto set = granted("SetNetworkInterfaces", set_address("198.51.100.77"));
        EXPECT_EQ(read(set).text(kBody + test::Step{test::kTds, "SetNetworkInterfacesResponse"} +
                                 test::Step{test::kTds, "RebootNeeded"}),
                  reboot_needed ? "true" : "false");
        EXPECT_EQ(set.going_silent, !reboot_needed);
        if (reboot_needed) {
            EXPECT_TRUE(cam.serving());
            EXPECT_EQ(format_ipv4(cam.network().address), "198.51.100.133") << "not before the reboot";
            now = 500;
            EXPECT_TRUE(granted("SystemReboot").going_silent);
        }
        EXPECT_FALSE(cam.serving());
        EXPECT_FALSE(cam.come_back(now + kRebootMs - 1));
        const auto back = cam.come_back(now + kRebootMs);
        ASSERT_TRUE(back);
        EXPECT_EQ(format_ipv4(back->old_address), "198.51.100.133");
        EXPECT_EQ(format_ipv4(back->network.address), "198.51.100.77");
        EXPECT_EQ(back->network.prefix_length, 25);
        EXPECT_TRUE(cam.serving());
        const auto shown = read(granted("GetNetworkInterfaces"));
        EXPECT_EQ(shown.text(kBody + test::Step{test::kTds, "GetNetworkInterfacesResponse"} +
                             test::Step{test::kTds, "NetworkInterfaces"} + test::Step{kTt, "IPv4"} +
                             test::Step{kTt, "Config"} + test::Step{kTt, "Manual"} +
                             test::Step{kTt, "Address"}),
                  "198.51.100.77");
    }
}

} // namespace
} // namespace quillsim
