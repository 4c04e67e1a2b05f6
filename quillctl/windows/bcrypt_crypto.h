#pragma once
// The cameras' hashes and nonces from BCrypt, Base64 from CryptBinaryToString: system DLLs only.
#include "onvif/crypto.h"

namespace quillctl {

class BcryptCrypto : public onvif::Crypto {
  public:
    std::vector<uint8_t> Digest(onvif::Hash hash, std::span<const uint8_t> data) override;
    std::vector<uint8_t> RandomBytes(size_t count) override;
    std::string Base64(std::span<const uint8_t> data) override;
};

} // namespace quillctl
