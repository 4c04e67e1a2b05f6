#include "http_message.hpp"

#include "xml_names.hpp"

#include <cctype>
#include <charconv>

namespace quillsim {

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    for (auto& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

const char* reason_of(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 405:
        return "Method Not Allowed";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    default:
        return "Internal Server Error";
    }
}

} // namespace

HttpReadResult read_http_request(std::string_view received) {
    HttpReadResult result;
    const auto head_end = received.find("\r\n\r\n");
    if (head_end == std::string_view::npos) {
        result.state =
            received.size() > kMaxRequestHeadBytes ? HttpReading::too_large : HttpReading::incomplete;
        return result;
    }
    if (head_end > kMaxRequestHeadBytes) {
        result.state = HttpReading::too_large;
        return result;
    }
    const std::string_view head = received.substr(0, head_end);
    auto line_end = head.find("\r\n");
    const std::string_view request_line = head.substr(0, line_end);
    const auto first_space = request_line.find(' ');
    const auto last_space = request_line.rfind(' ');
    if (first_space == std::string_view::npos || last_space == first_space ||
        !request_line.substr(last_space + 1).starts_with("HTTP/1.")) {
        result.state = HttpReading::malformed;
        return result;
    }
    HttpRequest& request = result.request;
    request.method = std::string(request_line.substr(0, first_space));
    request.target = std::string(request_line.substr(first_space + 1, last_space - first_space - 1));
    while (line_end != std::string_view::npos) {
        const auto start = line_end + 2;
        line_end = head.find("\r\n", start);
        const std::string_view line =
            head.substr(start, line_end == std::string_view::npos ? head.npos : line_end - start);
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            result.state = HttpReading::malformed;
            return result;
        }
        request.headers[lower(trim_blanks(line.substr(0, colon)))] =
            std::string(trim_blanks(line.substr(colon + 1)));
    }
    if (request.headers.contains("transfer-encoding")) {
        result.state = HttpReading::no_length;
        return result;
    }
    std::size_t length = 0;
    if (const auto found = request.headers.find("content-length"); found != request.headers.end()) {
        const std::string& text = found->second;
        if (std::from_chars(text.data(), text.data() + text.size(), length).ptr !=
                text.data() + text.size() ||
            text.empty()) {
            result.state = HttpReading::malformed;
            return result;
        }
    } else if (request.method == "POST") {
        result.state = HttpReading::no_length;
        return result;
    }
    if (length > kMaxRequestBodyBytes) {
        result.state = HttpReading::too_large;
        return result;
    }
    const std::size_t body_start = head_end + 4;
    if (received.size() - body_start < length) {
        return result;
    }
    request.body = std::string(received.substr(body_start, length));
    result.state = HttpReading::complete;
    return result;
}

std::string format_http_answer(const HttpAnswer& answer) {
    std::string out = "HTTP/1.1 " + std::to_string(answer.status) + " " + reason_of(answer.status) + "\r\n";
    if (!answer.body.empty()) {
        out += "Content-Type: application/soap+xml; charset=utf-8\r\n";
    }
    out += "Content-Length: " + std::to_string(answer.body.size()) + "\r\nConnection: close\r\n";
    for (const auto& [name, value] : answer.headers) {
        out += name + ": " + value + "\r\n";
    }
    out += "\r\n";
    out += answer.body;
    return out;
}

} // namespace quillsim
