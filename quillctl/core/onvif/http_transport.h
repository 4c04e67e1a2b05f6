#pragma once
// One HTTP POST to a camera and its answer, whatever the platform's HTTP library (libcurl on Linux,
// WinHTTP on Windows). The transport follows no redirect, speaks plain http only, uses no proxy and
// answers nothing by itself to an authentication challenge: the client decides what a 3xx or a 401
// means.
#include <chrono>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillctl::onvif {

struct HttpLimits {
    size_t maxResponseBytes = 1 << 20;
    std::chrono::milliseconds connect{3000};
    std::chrono::milliseconds answer{10000}; // the whole exchange, from the connection on
};

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string url; // http://a.b.c.d[:port]/path
    HttpHeaders headers;
    std::string body;
};

enum class HttpFailure {
    None,
    Connect,  // refused, unreachable or not connected within the limit
    Timeout,  // connected, but no whole answer within the limit
    TooLarge, // the answer was longer than the limit
    Other,    // anything else the library reports
};

struct HttpResponse {
    HttpFailure failure = HttpFailure::None;
    std::string error; // the library's words when failure is not None
    int status = 0;
    HttpHeaders headers; // names as sent
    std::string body;
};

class HttpTransport {
  public:
    virtual ~HttpTransport() = default;
    // Safe to call from several threads at once, each call on its own connection.
    virtual HttpResponse Post(const HttpRequest& request, const HttpLimits& limits) = 0;
};

// Every value of the header `name`, compared without regard to case.
std::vector<std::string> HeaderValues(const HttpHeaders& headers, std::string_view name);

// Splits "Name: value" header lines as both libraries hand them over (the status line and blank lines
// are skipped).
HttpHeaders ParseHeaderLines(std::string_view text);

} // namespace quillctl::onvif
