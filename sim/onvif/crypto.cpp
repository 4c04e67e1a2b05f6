#include "crypto.hpp"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>

namespace quillsim {

namespace {

Bytes digest(const EVP_MD* kind, std::string_view data) {
    Bytes out(EVP_MAX_MD_SIZE);
    unsigned int size = 0;
    if (EVP_Digest(data.data(), data.size(), out.data(), &size, kind, nullptr) != 1) {
        throw std::runtime_error("EVP_Digest failed");
    }
    out.resize(size);
    return out;
}

std::string hex(const Bytes& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const auto byte : bytes) {
        out.push_back(kDigits[byte >> 4]);
        out.push_back(kDigits[byte & 15]);
    }
    return out;
}

} // namespace

Bytes sha1(std::string_view data) { return digest(EVP_sha1(), data); }

std::string md5_hex(std::string_view data) { return hex(digest(EVP_md5(), data)); }

std::string base64_encode(std::string_view data) {
    std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
    const int size =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
    out.resize(static_cast<std::size_t>(size));
    return out;
}

std::optional<std::string> base64_decode(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return std::string();
    }
    text = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::string out(text.size() / 4 * 3, '\0');
    const int size =
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (size < 0) {
        return std::nullopt;
    }
    // EVP_DecodeBlock counts the padding as zero bytes.
    std::size_t padding = 0;
    for (auto at = text.size(); at > 0 && text[at - 1] == '=' && padding < 2; --at) {
        ++padding;
    }
    out.resize(static_cast<std::size_t>(size) - padding);
    return out;
}

std::string random_hex(std::size_t bytes) {
    Bytes out(bytes);
    if (RAND_bytes(out.data(), static_cast<int>(out.size())) != 1) {
        throw std::runtime_error("RAND_bytes failed");
    }
    return hex(out);
}

} // namespace quillsim
