#pragma once
// The cameras' hashes, nonces and Base64 from OpenSSL's libcrypto.
#include "onvif/crypto.h"

namespace quillctl {

class OpensslCrypto : public onvif::Crypto {
  public:
    std::vector<uint8_t> Digest(onvif::Hash hash, std::span<const uint8_t> data) override;
    std::vector<uint8_t> RandomBytes(size_t count) override;
    std::string Base64(std::span<const uint8_t> data) override;
};

} // namespace quillctl
