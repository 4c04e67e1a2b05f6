#include "openssl_crypto.h"

#include <stdexcept>

#include <openssl/evp.h>
#include <openssl/rand.h>

namespace quillctl {

std::vector<uint8_t> OpensslCrypto::Digest(onvif::Hash hash, std::span<const uint8_t> data) {
    const EVP_MD* algorithm = hash == onvif::Hash::Md5    ? EVP_md5()
                              : hash == onvif::Hash::Sha1 ? EVP_sha1()
                                                          : EVP_sha256();
    std::vector<uint8_t> digest(EVP_MAX_MD_SIZE);
    unsigned size = 0;
    if (EVP_Digest(data.data(), data.size(), digest.data(), &size, algorithm, nullptr) != 1)
        throw std::runtime_error("libcrypto cannot hash");
    digest.resize(size);
    return digest;
}

std::vector<uint8_t> OpensslCrypto::RandomBytes(size_t count) {
    std::vector<uint8_t> bytes(count);
    if (RAND_bytes(bytes.data(), static_cast<int>(count)) != 1)
        throw std::runtime_error("libcrypto has no random bytes to give");
    return bytes;
}

std::string OpensslCrypto::Base64(std::span<const uint8_t> data) {
    std::string text(4 * ((data.size() + 2) / 3) + 1, '\0');
    int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), data.data(),
                                  static_cast<int>(data.size()));
    text.resize(static_cast<size_t>(written));
    return text;
}

} // namespace quillctl
