#include "onvif/http_transport.h"

#include "onvif/onvif_facts.h"

namespace quillctl::onvif {

namespace {

std::string_view Trimmed(std::string_view text) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

std::vector<std::string> HeaderValues(const HttpHeaders& headers, std::string_view name) {
    std::vector<std::string> values;
    for (const auto& [key, value] : headers)
        if (SameNoCase(key, name))
            values.push_back(value);
    return values;
}

HttpHeaders ParseHeaderLines(std::string_view text) {
    HttpHeaders headers;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        size_t colon = line.find(':');
        if (colon == std::string_view::npos || StartsWithNoCase(line, "http/"))
            continue;
        headers.emplace_back(Trimmed(line.substr(0, colon)), Trimmed(line.substr(colon + 1)));
    }
    return headers;
}

} // namespace quillctl::onvif
