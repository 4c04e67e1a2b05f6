#include "bcrypt_crypto.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <stdexcept>

namespace quillctl {

namespace {

bool Ok(NTSTATUS status) { return status >= 0; }

} // namespace

std::vector<uint8_t> BcryptCrypto::Digest(onvif::Hash hash, std::span<const uint8_t> data) {
    LPCWSTR name = hash == onvif::Hash::Md5    ? BCRYPT_MD5_ALGORITHM
                   : hash == onvif::Hash::Sha1 ? BCRYPT_SHA1_ALGORITHM
                                               : BCRYPT_SHA256_ALGORITHM;
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE handle = nullptr;
    DWORD size = 0, got = 0;
    std::vector<uint8_t> digest;
    bool done = Ok(BCryptOpenAlgorithmProvider(&algorithm, name, nullptr, 0)) &&
                Ok(BCryptGetProperty(algorithm, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&size),
                                     sizeof(size), &got, 0)) &&
                Ok(BCryptCreateHash(algorithm, &handle, nullptr, 0, nullptr, 0, 0));
    if (done) {
        digest.resize(size);
        done =
            Ok(BCryptHashData(handle, const_cast<PUCHAR>(data.data()), static_cast<ULONG>(data.size()), 0)) &&
            Ok(BCryptFinishHash(handle, digest.data(), size, 0));
    }
    if (handle != nullptr)
        BCryptDestroyHash(handle);
    if (algorithm != nullptr)
        BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!done)
        throw std::runtime_error("BCrypt cannot hash");
    return digest;
}

std::vector<uint8_t> BcryptCrypto::RandomBytes(size_t count) {
    std::vector<uint8_t> bytes(count);
    if (!Ok(BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(count),
                            BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        throw std::runtime_error("BCrypt has no random bytes to give");
    return bytes;
}

std::string BcryptCrypto::Base64(std::span<const uint8_t> data) {
    if (data.empty())
        return "";
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    DWORD size = 0;
    if (!CryptBinaryToStringA(data.data(), static_cast<DWORD>(data.size()), flags, nullptr, &size))
        throw std::runtime_error("cannot write Base64");
    std::string text(size, '\0');
    if (!CryptBinaryToStringA(data.data(), static_cast<DWORD>(data.size()), flags, text.data(), &size))
        throw std::runtime_error("cannot write Base64");
    text.resize(size);
    while (!text.empty() && (text.back() == '\0' || text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

} // namespace quillctl
