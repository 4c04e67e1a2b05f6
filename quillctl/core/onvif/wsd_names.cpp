#include "onvif/wsd_names.h"

#include <array>
#include <utility>

namespace quillctl::wsd {

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kPrefixes = {{
    {"dn", "http://www.onvif.org/ver10/network/wsdl"},
    {"tds", "http://www.onvif.org/ver10/device/wsdl"},
    {"wsdp", "http://schemas.xmlsoap.org/ws/2006/02/devprof"},
    {"pub", "http://schemas.microsoft.com/windows/pub/2005/07"},
}};

// An XML name's characters, kept to ASCII: a type on the command line is a plain word.
bool IsNameText(std::string_view text) {
    if (text.empty() ||
        !((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z') || text[0] == '_'))
        return false;
    for (char c : text)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
              c == '-' || c == '.'))
            return false;
    return true;
}

} // namespace

std::optional<TypeName> ParseTypeName(std::string_view text) {
    size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    std::string_view prefix = text.substr(0, colon), name = text.substr(colon + 1);
    if (!IsNameText(name))
        return std::nullopt;
    for (const auto& [known, uri] : kPrefixes)
        if (known == prefix)
            return TypeName{std::string(prefix), std::string(uri), std::string(name)};
    return std::nullopt;
}

std::string KnownPrefixesText() {
    std::string text;
    for (const auto& [prefix, uri] : kPrefixes)
        text += (text.empty() ? "" : ", ") + std::string(prefix) + " = " + std::string(uri);
    return text;
}

} // namespace quillctl::wsd
