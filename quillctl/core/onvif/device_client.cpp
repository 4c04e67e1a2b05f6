#include "onvif/device_client.h"

#include "onvif/ws_security.h"
#include "net/text_escape.h"

namespace quillctl::onvif {

namespace {

constexpr size_t kNonceBytes = 16;

// The path of http://host[:port]/path, "/" when there is none.
std::string PathOf(const std::string& url) {
    size_t scheme = url.find("://");
    size_t slash = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    return slash == std::string::npos ? "/" : url.substr(slash);
}

std::string FaultText(const SoapFault& fault) {
    std::string text = fault.code + (fault.subcodes.empty() ? "" : "/" + fault.subcodes);
    if (!fault.reason.empty())
        text += ": " + fault.reason;
    return "SOAP fault " + EscapeText(text);
}

} // namespace

DeviceClient::DeviceClient(HttpTransport& transport, Crypto& crypto, std::string xaddr,
                           std::optional<Credentials> credentials, WallClock now, HttpLimits limits)
    : transport_(transport), crypto_(crypto), xaddr_(std::move(xaddr)), path_(PathOf(xaddr_)),
      credentials_(std::move(credentials)), now_(std::move(now)), limits_(limits) {}

HttpResponse DeviceClient::Post(const std::string& body) {
    HttpRequest request;
    request.url = xaddr_;
    request.body = body;
    request.headers = {{"Content-Type", "application/soap+xml; charset=utf-8"}};
    if (digest_ && credentials_) {
        std::string cnonce = HexLower(crypto_.RandomBytes(kNonceBytes));
        request.headers.emplace_back("Authorization",
                                     DigestAuthorization(crypto_, *digest_, "POST", path_, credentials_->user,
                                                         credentials_->password, cnonce, ++digestCount_));
    }
    return transport_.Post(request, limits_);
}

DeviceClient::Exchange DeviceClient::Send(std::string_view operation, bool authenticate,
                                          const std::function<void(SoapRequest&)>& fill) {
    Exchange exchange;
    if (refused_) {
        exchange.error = CallError::AuthRefused;
        return exchange;
    }
    // With HTTP Digest the request carries no UsernameToken: one way of proving the password at a time.
    auto body = [&] {
        SoapRequest request(operation);
        if (fill)
            fill(request);
        if (authenticate && credentials_ && !digest_)
            AddSecurityHeader(request.header(),
                              MakeUsernameToken(crypto_, credentials_->user, credentials_->password,
                                                crypto_.RandomBytes(kNonceBytes), now_() + offset_));
        return request.Text();
    };
    HttpResponse response = Post(body());
    if (response.failure == HttpFailure::None && response.status == 401) {
        if (!credentials_) {
            exchange.error = CallError::AuthNeeded;
            exchange.detail = "HTTP 401";
            return exchange;
        }
        std::optional<DigestChallenge> challenge =
            ChooseDigestChallenge(HeaderValues(response.headers, "WWW-Authenticate"));
        if (!challenge) {
            refused_ = true;
            exchange.error = CallError::AuthRefused;
            exchange.detail = "HTTP 401 without a Digest challenge quillctl answers (Basic is never sent)";
            return exchange;
        }
        // Answered once: the first challenge, or a new nonce for one gone stale. A 401 to that is a
        // refusal.
        if (!digest_ || challenge->stale) {
            digest_ = challenge;
            digestCount_ = 0;
            response = Post(body());
        }
    }
    if (response.failure != HttpFailure::None) {
        exchange.error = CallError::Transport;
        exchange.detail = EscapeText(response.error);
        return exchange;
    }
    if (response.status == 401) {
        refused_ = true;
        exchange.error = CallError::AuthRefused;
        exchange.detail = "HTTP 401 to HTTP Digest";
        return exchange;
    }
    if (response.status >= 300 && response.status < 400) {
        exchange.error = CallError::Redirect;
        exchange.detail = "HTTP " + std::to_string(response.status) + " (a redirect is not followed)";
        return exchange;
    }
    exchange.answer = ReadSoapAnswer(BytesOf(response.body));
    if (exchange.answer.problem == AnswerProblem::Fault) {
        const SoapFault& fault = *exchange.answer.fault;
        exchange.detail = FaultText(fault);
        if (fault.notAuthorized) {
            // Refused only when credentials went with the request; else they are needed.
            const bool sent = credentials_ && (authenticate || digest_);
            exchange.error = sent ? CallError::AuthRefused : CallError::AuthNeeded;
            refused_ = refused_ || sent;
        } else {
            exchange.error = CallError::Fault;
        }
        return exchange;
    }
    if (exchange.answer.problem != AnswerProblem::None) {
        exchange.error = response.status == 200 ? CallError::BadAnswer : CallError::HttpStatus;
        exchange.detail =
            "HTTP " + std::to_string(response.status) + " with " + AnswerProblemText(exchange.answer.problem);
    }
    return exchange;
}

template <class T, class Read>
Outcome<T> DeviceClient::Call(std::string_view operation, bool authenticate,
                              const std::function<void(SoapRequest&)>& fill, Read read) {
    Exchange exchange = Send(operation, authenticate, fill);
    Outcome<T> outcome;
    outcome.error = exchange.error;
    outcome.detail = exchange.detail;
    if (exchange.error != CallError::None)
        return outcome;
    outcome.value = read(exchange.answer.content);
    if (!outcome.value) {
        outcome.error = CallError::BadAnswer;
        outcome.detail = "not a " + std::string(operation) + " answer";
    }
    return outcome;
}

Outcome<std::chrono::system_clock::time_point> DeviceClient::GetSystemDateAndTime() {
    auto outcome =
        Call<std::chrono::system_clock::time_point>("GetSystemDateAndTime", false, {}, ReadSystemDateAndTime);
    if (outcome)
        offset_ = *outcome.value - now_();
    return outcome;
}

Outcome<DeviceInformation> DeviceClient::GetDeviceInformation() {
    return Call<DeviceInformation>("GetDeviceInformation", true, {}, ReadDeviceInformation);
}

Outcome<std::vector<NetworkInterface>> DeviceClient::GetNetworkInterfaces() {
    return Call<std::vector<NetworkInterface>>("GetNetworkInterfaces", true, {}, ReadNetworkInterfaces);
}

Outcome<NetworkGateway> DeviceClient::GetNetworkDefaultGateway() {
    return Call<NetworkGateway>("GetNetworkDefaultGateway", true, {}, ReadNetworkDefaultGateway);
}

Outcome<bool> DeviceClient::SetNetworkInterfaces(const std::string& token, Ipv4Setting setting) {
    return Call<bool>(
        "SetNetworkInterfaces", true,
        [&](SoapRequest& request) { WriteSetNetworkInterfaces(request, token, setting); },
        ReadSetNetworkInterfaces);
}

Outcome<bool> DeviceClient::SetNetworkDefaultGateway(Ipv4 gateway) {
    return Call<bool>(
        "SetNetworkDefaultGateway", true,
        [&](SoapRequest& request) { WriteSetNetworkDefaultGateway(request, gateway); },
        ReadSetNetworkDefaultGateway);
}

Outcome<std::string> DeviceClient::SystemReboot() {
    return Call<std::string>("SystemReboot", true, {}, ReadSystemReboot);
}

const char* CallErrorText(CallError error) {
    switch (error) {
    case CallError::None:
        return "answered";
    case CallError::AuthNeeded:
        return "auth needed";
    case CallError::AuthRefused:
        return "auth refused";
    case CallError::Transport:
        return "no answer";
    case CallError::Redirect:
        return "redirected";
    case CallError::HttpStatus:
        return "HTTP error";
    case CallError::Fault:
        return "fault";
    case CallError::BadAnswer:
        return "bad answer";
    }
    return "unknown";
}

} // namespace quillctl::onvif
