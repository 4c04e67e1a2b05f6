#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillsim {

// The hashes, encodings and random bytes the cameras' authentication needs, all from OpenSSL's libcrypto.
using Bytes = std::vector<std::uint8_t>;

Bytes sha1(std::string_view data);
std::string md5_hex(std::string_view data); // lower-case hex, as HTTP Digest writes it
std::string base64_encode(std::string_view data);
// Nothing for text that is not Base64 (blanks around it are allowed).
std::optional<std::string> base64_decode(std::string_view text);
std::string random_hex(std::size_t bytes);

} // namespace quillsim
