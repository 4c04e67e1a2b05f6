#pragma once
// The hashes, random bytes and Base64 that camera authentication needs, from the platform's own crypto
// (OpenSSL's libcrypto on Linux, BCrypt on Windows) behind one small interface, so that everything
// built on it is portable and tested on the host.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillctl::onvif {

enum class Hash { Md5, Sha1, Sha256 };

class Crypto {
  public:
    virtual ~Crypto() = default;
    // All three are called from the workers that query many cameras at once: safe from any thread.
    virtual std::vector<uint8_t> Digest(Hash hash, std::span<const uint8_t> data) = 0;
    // Cryptographically random; throws std::runtime_error when the platform has none to give.
    virtual std::vector<uint8_t> RandomBytes(size_t count) = 0;
    virtual std::string Base64(std::span<const uint8_t> data) = 0;
};

inline std::span<const uint8_t> BytesOf(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// Lower-case hex, as HTTP Digest writes its hashes.
std::string HexLower(std::span<const uint8_t> bytes);

} // namespace quillctl::onvif
