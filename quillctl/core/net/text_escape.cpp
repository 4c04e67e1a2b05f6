#include "net/text_escape.h"

#include <cstdio>

namespace quillctl {

namespace {

void AppendHex(std::string& out, std::string_view bytes) {
    for (char c : bytes) {
        char hex[5];
        std::snprintf(hex, sizeof(hex), "\\x%02x", static_cast<unsigned char>(c));
        out += hex;
    }
}

// The length of the valid UTF-8 sequence of two to four bytes at the start of `bytes` (no overlong
// form, no surrogate, nothing above U+10FFFF), with its code point; 0 when there is none.
size_t Utf8Sequence(std::string_view bytes, char32_t& codePoint) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || bytes.size() < length)
        return 0;
    codePoint = lead & (0x3F >> (length - 1));
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < smallest[length] || (codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF)
        return 0;
    return length;
}

bool Printable(char32_t codePoint) {
    if (codePoint <= 0x9F) // C1 controls
        return false;
    if (codePoint == 0x061C || codePoint == 0x200E || codePoint == 0x200F)
        return false;
    if ((codePoint >= 0x2028 && codePoint <= 0x202E) || (codePoint >= 0x2066 && codePoint <= 0x2069))
        return false;
    return true;
}

std::string Escape(std::string_view bytes, bool keepUtf8) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\\') {
            out += "\\\\";
            ++i;
            continue;
        }
        if (byte >= 0x20 && byte < 0x7f) {
            out += bytes[i++];
            continue;
        }
        char32_t codePoint = 0;
        size_t length = keepUtf8 ? Utf8Sequence(bytes.substr(i), codePoint) : 0;
        if (length == 0) {
            AppendHex(out, bytes.substr(i, 1));
            ++i;
            continue;
        }
        if (Printable(codePoint))
            out += bytes.substr(i, length);
        else
            AppendHex(out, bytes.substr(i, length));
        i += length;
    }
    return out;
}

} // namespace

std::string EscapeText(std::string_view bytes) { return Escape(bytes, false); }

std::string EscapeName(std::string_view bytes) { return Escape(bytes, true); }

} // namespace quillctl
