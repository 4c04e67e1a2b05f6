#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillsim {

// HTTP/1.1 as the device service needs it: one POST with a Content-Length body per connection, one
// answer, then the connection is closed.

inline constexpr std::size_t kMaxRequestHeadBytes = 16 * 1024;
inline constexpr std::size_t kMaxRequestBodyBytes = 256 * 1024;

struct HttpRequest {
    std::string method;
    std::string target;
    std::map<std::string, std::string> headers; // names lower case; a repeated header keeps its last value
    std::string body;
};

enum class HttpReading {
    incomplete, // wait for more bytes
    complete,
    malformed, // 400
    too_large, // 413
    no_length, // 411: chunked or no Content-Length on a request with a body
};

struct HttpReadResult {
    HttpReading state = HttpReading::incomplete;
    HttpRequest request; // when complete
};

HttpReadResult read_http_request(std::string_view received);

struct HttpAnswer {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers; // besides the ones every answer has
    std::string body;                                         // a SOAP envelope, or empty
};

// Status line, Content-Type (SOAP 1.2 when there is a body), Content-Length, Connection: close, the extra
// headers, the body.
std::string format_http_answer(const HttpAnswer& answer);

} // namespace quillsim
