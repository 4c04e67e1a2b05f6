#include "text_escape.h"

#include <cstdio>

namespace quillctl {

std::string EscapeText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7f) {
            out += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof(hex), "\\x%02x", byte);
            out += hex;
        }
    }
    return out;
}

} // namespace quillctl
