#include "onvif/credentials.h"

#include <stdexcept>

namespace quillctl::onvif {

namespace {

std::string_view NextWord(std::string_view& line) {
    size_t begin = line.find_first_not_of(" \t");
    if (begin == std::string_view::npos) {
        line = {};
        return {};
    }
    size_t end = line.find_first_of(" \t", begin);
    std::string_view word =
        line.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
    line = end == std::string_view::npos ? std::string_view() : line.substr(end);
    return word;
}

} // namespace

std::optional<Credentials> CredentialBook::For(const std::string& endpoint,
                                               const std::optional<Mac>& mac) const {
    if (auto found = byEndpoint_.find(endpoint); !endpoint.empty() && found != byEndpoint_.end())
        return found->second;
    if (mac)
        if (auto found = byMac_.find(*mac); found != byMac_.end())
            return found->second;
    return fileDefault_ ? fileDefault_ : default_;
}

void CredentialBook::ReadFile(std::string_view text) {
    int number = 0;
    while (!text.empty()) {
        ++number;
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::string_view rest = line;
        std::string_view key = NextWord(rest);
        if (key.empty() || key.front() == '#')
            continue;
        std::string_view user = NextWord(rest);
        size_t password = rest.find_first_not_of(" \t");
        auto bad = [&](const std::string& why) {
            return std::invalid_argument("line " + std::to_string(number) + ": " + why);
        };
        if (user.empty() || password == std::string_view::npos)
            throw bad("needs KEY USER PASSWORD");
        Credentials credentials{std::string(user), std::string(rest.substr(password))};
        if (key == "*")
            fileDefault_ = std::move(credentials);
        else if (std::optional<Mac> mac = ParseMacArgument(key))
            byMac_[*mac] = std::move(credentials);
        else if (key.size() > 4 && (key.substr(0, 4) == "urn:" || key.substr(0, 4) == "URN:"))
            byEndpoint_[std::string(key)] = std::move(credentials);
        else
            throw bad("the key is neither an endpoint (urn:...), a MAC nor *");
    }
}

} // namespace quillctl::onvif
