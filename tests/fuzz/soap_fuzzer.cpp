// Feeds any bytes to a camera's device-service conversation as its every answer: the first byte
// chooses the HTTP status (A: 200, F: 400, D: 401 with the rest as a WWW-Authenticate value, else
// 500), the rest is the body. Each answer reader sees the body too. After every input: no problem text
// holds a byte that is not printable ASCII, no request header a control byte, a rejected answer gives
// no document, and the password is in no request unless the camera itself sent it.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "onvif/camera_details.h"
#include "onvif/device_client.h"
#include "onvif/soap.h"

using namespace quillctl;
using namespace quillctl::onvif;

namespace {

using fuzzing::Check;

const char* const kPassword = "pw-Secret-1";

// Hashes that are not: the fuzzer looks at what is read, not at what is proven.
class PlainCrypto : public Crypto {
  public:
    std::vector<uint8_t> Digest(Hash, std::span<const uint8_t> data) override {
        std::vector<uint8_t> out(20);
        for (size_t i = 0; i < data.size(); ++i)
            out[i % 20] = static_cast<uint8_t>(out[i % 20] * 31 + data[i]);
        return out;
    }
    std::vector<uint8_t> RandomBytes(size_t count) override { return std::vector<uint8_t>(count, 7); }
    std::string Base64(std::span<const uint8_t> data) override { return HexLower(data); }
};

bool HasControlByte(std::string_view text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7f)
            return true;
    return false;
}

bool Printable(std::string_view text) {
    for (unsigned char c : text)
        if (c > 0x7e)
            return false;
    return !HasControlByte(text);
}

class ReplayTransport : public HttpTransport {
  public:
    explicit ReplayTransport(std::string_view input) : input_(input) {}
    HttpResponse Post(const HttpRequest& request, const HttpLimits&) override {
        sent += request.body;
        for (const auto& header : request.headers) {
            Check(!HasControlByte(header.second), "a request header holds a control byte");
            sent += header.second;
        }
        HttpResponse response;
        char kind = input_.empty() ? 'A' : input_[0];
        std::string rest(input_.empty() ? "" : input_.substr(1));
        response.status = kind == 'A' ? 200 : kind == 'F' ? 400 : kind == 'D' ? 401 : 500;
        if (kind == 'D')
            response.headers = {{"WWW-Authenticate", rest}};
        else
            response.body = rest;
        return response;
    }
    std::string sent;

  private:
    std::string_view input_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::span<const uint8_t> body =
        size > 0 ? std::span<const uint8_t>(data + 1, size - 1) : std::span<const uint8_t>();
    SoapAnswer answer = ReadSoapAnswer(body);
    if (answer.problem == AnswerProblem::None) {
        Check(answer.content.type() == pugi::node_element, "an answer without content");
        ReadSystemDateAndTime(answer.content);
        ReadDeviceInformation(answer.content);
        ReadNetworkInterfaces(answer.content);
        ReadNetworkDefaultGateway(answer.content);
        ReadSetNetworkInterfaces(answer.content);
        ReadSystemReboot(answer.content);
    } else if (answer.problem != AnswerProblem::Fault) {
        Check(!answer.document && !answer.fault, "a rejected answer still gives a document");
    }

    PlainCrypto crypto;
    ReplayTransport transport(input);
    DeviceClient client(transport, crypto, "http://198.51.100.131/onvif/device_service",
                        Credentials{"admin", kPassword});
    CameraDetails details = ReadCameraDetails(client, *ParseIpv4("198.51.100.131"), true);
    Check(Printable(details.problem), "a problem text shows a byte that is not printable ASCII");
    client.SetNetworkInterfaces("eth0", {*ParseIpv4("198.51.100.40"), 24});
    // A camera may echo anything back (a Digest realm, say), the password too: only then is it sent.
    // Its quoted strings may escape any character with a backslash ("pw-Secr\et-1" is the password).
    std::string unescaped(input);
    std::erase(unescaped, '\\');
    if (input.find(kPassword) == std::string_view::npos && unescaped.find(kPassword) == std::string::npos)
        Check(transport.sent.find(kPassword) == std::string::npos, "the password went out");
    return 0;
}
