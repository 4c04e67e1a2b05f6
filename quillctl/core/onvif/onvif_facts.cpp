#include "onvif/onvif_facts.h"

namespace quillctl {

namespace {

constexpr std::string_view kScopeRoot = "onvif://www.onvif.org/";

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<int32_t> ParsePort(std::string_view digits) {
    if (digits.empty() || digits.size() > 5 || digits[0] == '0')
        return std::nullopt;
    int32_t port = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port > 65535)
        return std::nullopt;
    return port;
}

} // namespace

bool StartsWithNoCase(std::string_view text, std::string_view lowerCasePrefix) {
    if (text.size() < lowerCasePrefix.size())
        return false;
    for (size_t i = 0; i < lowerCasePrefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != lowerCasePrefix[i])
            return false;
    }
    return true;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        int low = high >= 0 ? HexValue(text[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<HttpXAddr> ParseHttpXAddr(std::string_view xaddr) {
    constexpr std::string_view kScheme = "http://";
    if (!StartsWithNoCase(xaddr, kScheme))
        return std::nullopt;
    std::string_view rest = xaddr.substr(kScheme.size());
    std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    std::string_view hostText = authority;
    int32_t port = 80;
    if (size_t colon = authority.find(':'); colon != std::string_view::npos) {
        hostText = authority.substr(0, colon);
        std::optional<int32_t> parsed = ParsePort(authority.substr(colon + 1));
        if (!parsed)
            return std::nullopt;
        port = *parsed;
    }
    std::optional<Ipv4> host = ParseIpv4(hostText);
    if (!host)
        return std::nullopt;
    return HttpXAddr{std::string(xaddr), *host, port};
}

std::optional<HttpXAddr> ChooseXAddr(const std::vector<std::string>& xaddrs, const Subnet& subnet) {
    std::optional<HttpXAddr> first;
    for (const std::string& text : xaddrs) {
        std::optional<HttpXAddr> xaddr = ParseHttpXAddr(text);
        if (!xaddr)
            continue;
        if (subnet.Contains(xaddr->host))
            return xaddr;
        if (!first)
            first = xaddr;
    }
    return first;
}

std::string ScopeValue(const std::vector<std::string>& scopes, std::string_view category) {
    for (const std::string& scope : scopes) {
        if (!StartsWithNoCase(scope, kScopeRoot))
            continue;
        std::string_view path = std::string_view(scope).substr(kScopeRoot.size());
        if (path.size() > category.size() && StartsWithNoCase(path, category) && path[category.size()] == '/')
            return PercentDecode(path.substr(category.size() + 1));
    }
    return {};
}

std::optional<Mac> ScopeMac(const std::vector<std::string>& scopes) {
    std::string text = ScopeValue(scopes, "mac");
    if (text.size() == 12) {
        // Twelve hex digits without separators, as some devices write it.
        std::string spaced;
        for (size_t i = 0; i < text.size(); i += 2)
            spaced += (i ? ":" : "") + text.substr(i, 2);
        text = spaced;
    }
    return ParseMacArgument(text);
}

} // namespace quillctl
