#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillsim {

// Builds one JSON object on one line, keys in the order added. Text values may hold any bytes (an address
// field of a hostile command, say): control characters and bytes above 0x7e are written as \u00XX so every
// line stays valid JSON and shows exactly which byte arrived.
class JsonLine {
  public:
    JsonLine& text(std::string_view key, std::string_view value);
    JsonLine& number(std::string_view key, std::int64_t value);
    JsonLine& seconds(std::string_view key, double value); // fixed, millisecond precision
    JsonLine& optional_number(std::string_view key, std::optional<std::int64_t> value); // null if absent
    JsonLine& texts(std::string_view key, const std::vector<std::string>& values);      // an array of texts

    std::string str() const { return body_ + "}"; }

  private:
    void key(std::string_view name);

    std::string body_ = "{";
};

std::string json_escape(std::string_view value);

} // namespace quillsim
