// The device-service client: its digests against vectors computed elsewhere, and its conversations
// with cameras in memory (clock, UsernameToken, HTTP Digest, refusals, redirects, hostile answers).
#include <gtest/gtest.h>

#include "fake_camera.h"
#include "onvif/device_client.h"
#include "onvif/http_digest.h"
#include "onvif/soap.h"
#include "onvif/ws_security.h"
#include "openssl_crypto.h"

namespace quillctl::onvif {
namespace {

using testing::CameraAuth;
using testing::FakeCamera;
using testing::FakeCameras;

const std::string kXAddr = "http://198.51.100.131/onvif/device_service";

TEST(OnvifAuth, DigestsMatchVectorsComputedElsewhere) {
    OpensslCrypto crypto;
    // openssl sha1 -binary | base64 of nonce + created + password.
    std::string nonce = "0123456789abcdef";
    UsernameToken token =
        MakeUsernameToken(crypto, "admin", "Sesame-7!", {nonce.begin(), nonce.end()},
                          std::chrono::system_clock::time_point(std::chrono::seconds(1796878200)));
    EXPECT_EQ(token.created, "2026-12-10T04:50:00Z");
    EXPECT_EQ(token.nonce, "MDEyMzQ1Njc4OWFiY2RlZg==");
    EXPECT_EQ(token.passwordDigest, "fg+AWZtTCUZdQs4vjbsY179nfa8=");

    // RFC 7616's example, in MD5 and SHA-256; the stronger challenge is chosen, Basic never.
    std::vector<std::string> offered = {
        "Basic realm=\"http-auth@example.org\"",
        "Digest realm=\"http-auth@example.org\", qop=\"auth, auth-int\", algorithm=MD5, "
        "nonce=\"7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v\", "
        "opaque=\"FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS\"",
        "Digest realm=\"http-auth@example.org\", qop=\"auth, auth-int\", algorithm=SHA-256, "
        "nonce=\"7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v\", "
        "opaque=\"FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS\""};
    const std::string cnonce = "f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ";
    auto answer = [&](const DigestChallenge& challenge) {
        return DigestAuthorization(crypto, challenge, "GET", "/dir/index.html", "Mufasa", "Circle of Life",
                                   cnonce, 1);
    };
    std::optional<DigestChallenge> md5 = ChooseDigestChallenge({offered[0], offered[1]});
    std::optional<DigestChallenge> sha256 = ChooseDigestChallenge(offered);
    ASSERT_TRUE(md5 && sha256);
    EXPECT_NE(answer(*md5).find("response=\"8ca523f5e9506fed4657c9700eebdbec\""), std::string::npos)
        << answer(*md5);
    EXPECT_NE(
        answer(*sha256).find("response=\"753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1\""),
        std::string::npos);
    EXPECT_NE(answer(*sha256).find("qop=auth, nc=00000001"), std::string::npos);
    EXPECT_EQ(answer(*sha256).find("Circle of Life"), std::string::npos);
    EXPECT_FALSE(ChooseDigestChallenge({offered[0]}));
    EXPECT_FALSE(ChooseDigestChallenge({"Digest realm=\"r\", nonce=\"n\", qop=\"auth-int\""}));
    EXPECT_FALSE(ChooseDigestChallenge({"Digest realm=\"r\r\nX-Injected: 1\", nonce=\"n\""}));
}

struct ClientTest : ::testing::Test {
    OpensslCrypto crypto;
    FakeCameras cameras{crypto};
    DeviceClient Client(std::optional<Credentials> credentials = Credentials{"admin", "Sesame-7!"}) {
        return DeviceClient(cameras, crypto, kXAddr, std::move(credentials));
    }
};

TEST_F(ClientTest, UsernameTokenOnTheCamerasClockAndHttpDigestBothWork) {
    for (CameraAuth auth : {CameraAuth::UsernameToken, CameraAuth::HttpDigest}) {
        FakeCamera camera;
        camera.auth = auth;
        camera.clockOffset = std::chrono::hours(-5); // five hours behind: only its own time is accepted
        cameras.Add(kXAddr, camera);
        DeviceClient client = Client();
        ASSERT_TRUE(client.GetSystemDateAndTime());
        auto information = client.GetDeviceInformation();
        ASSERT_TRUE(information) << information.detail;
        EXPECT_EQ(information.value->model, "Dome 2");
        auto interfaces = client.GetNetworkInterfaces();
        ASSERT_TRUE(interfaces && interfaces.value->size() == 1);
        EXPECT_EQ(interfaces.value->front().hwAddress, "02:00:00:00:99:01");
        EXPECT_EQ(interfaces.value->front().Current()->prefixLength, 24);
        auto set = client.SetNetworkInterfaces("eth0", {*ParseIpv4("198.51.100.40"), 24});
        ASSERT_TRUE(set && *set.value) << "RebootNeeded";
        EXPECT_EQ(cameras[kXAddr].ip, "198.51.100.40");
        EXPECT_TRUE(client.SetNetworkDefaultGateway(*ParseIpv4("198.51.100.254")));
        EXPECT_EQ(cameras[kXAddr].gateway, "198.51.100.254");
        EXPECT_EQ(*client.SystemReboot().value, "Rebooting in 5 s");
        EXPECT_EQ(client.usesHttpDigest(), auth == CameraAuth::HttpDigest);
    }
    std::string sent = cameras.AllSent();
    EXPECT_EQ(sent.find("Sesame-7!"), std::string::npos) << "the password never travels";
}

TEST_F(ClientTest, ARefusalEndsTheConversationAndNoCredentialsMeansNeeded) {
    for (CameraAuth auth : {CameraAuth::UsernameToken, CameraAuth::HttpDigest}) {
        FakeCamera camera;
        camera.auth = auth;
        cameras.Add(kXAddr, camera);
        DeviceClient wrong = Client(Credentials{"admin", "wrong"});
        EXPECT_EQ(wrong.GetDeviceInformation().error, CallError::AuthRefused);
        size_t before = cameras.Requests().size();
        EXPECT_EQ(wrong.GetNetworkInterfaces().error, CallError::AuthRefused);
        EXPECT_EQ(cameras.Requests().size(), before) << "nothing sent after a refusal";

        DeviceClient none = Client(std::nullopt);
        EXPECT_EQ(none.GetDeviceInformation().error, CallError::AuthNeeded);
        EXPECT_FALSE(none.refused());
    }
}

TEST_F(ClientTest, RedirectsAndHostileAnswersAreErrors) {
    FakeCamera camera;
    camera.redirectStatus = 302;
    cameras.Add(kXAddr, camera);
    EXPECT_EQ(Client().GetDeviceInformation().error, CallError::Redirect);
    EXPECT_EQ(cameras.Requests().size(), 1u) << "the Location is not followed";

    auto read = [](const std::string& text) { return ReadSoapAnswer(BytesOf(text)).problem; };
    EXPECT_EQ(read("<!DOCTYPE x [<!ENTITY a 'b'>]><x/>"), AnswerProblem::Doctype);
    EXPECT_EQ(read(std::string(40, '\0')), AnswerProblem::NotWellFormed);
    std::string deep = "<e:Envelope xmlns:e='http://www.w3.org/2003/05/soap-envelope'><e:Body>";
    for (int i = 0; i < 40; ++i)
        deep += "<a>";
    EXPECT_EQ(read(deep + std::string(40 * 4, ' ')), AnswerProblem::NotWellFormed);
    for (int i = 0; i < 40; ++i)
        deep += "</a>";
    EXPECT_EQ(read(deep + "</e:Body></e:Envelope>"), AnswerProblem::TooDeep);
    EXPECT_EQ(read(std::string(kMaxAnswerBytes + 1, ' ')), AnswerProblem::TooLarge);
    // A fault's code is read by its namespace, not by the prefix the camera chose.
    SoapAnswer fault = ReadSoapAnswer(BytesOf(
        "<x:Envelope xmlns:x='http://www.w3.org/2003/05/soap-envelope' "
        "xmlns:q='http://www.onvif.org/ver10/error'>"
        "<x:Body><x:Fault><x:Code><x:Value>x:Sender</x:Value><x:Subcode><x:Value>q:NotAuthorized</x:Value>"
        "</x:Subcode></x:Code></x:Fault></x:Body></x:Envelope>"));
    ASSERT_TRUE(fault.fault);
    EXPECT_TRUE(fault.fault->notAuthorized);
    EXPECT_EQ(fault.fault->subcodes, "NotAuthorized");
}

} // namespace
} // namespace quillctl::onvif
