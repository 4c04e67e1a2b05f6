#include "json_line.hpp"

#include <cstdio>

namespace quillsim {

std::string json_escape(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 2);
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (byte < 0x20 || byte > 0x7e) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

void JsonLine::key(std::string_view name) {
    if (body_.size() > 1) {
        body_ += ", ";
    }
    body_ += '"';
    body_ += json_escape(name);
    body_ += "\": ";
}

JsonLine& JsonLine::text(std::string_view name, std::string_view value) {
    key(name);
    body_ += '"';
    body_ += json_escape(value);
    body_ += '"';
    return *this;
}

JsonLine& JsonLine::number(std::string_view name, std::int64_t value) {
    key(name);
    body_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::seconds(std::string_view name, double value) {
    key(name);
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    body_ += text;
    return *this;
}

JsonLine& JsonLine::optional_number(std::string_view name, std::optional<std::int64_t> value) {
    if (value) {
        return number(name, *value);
    }
    key(name);
    body_ += "null";
    return *this;
}

JsonLine& JsonLine::texts(std::string_view name, const std::vector<std::string>& values) {
    key(name);
    body_ += '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
        body_ += (i == 0 ? "\"" : ", \"") + json_escape(values[i]) + '"';
    }
    body_ += ']';
    return *this;
}

} // namespace quillsim
