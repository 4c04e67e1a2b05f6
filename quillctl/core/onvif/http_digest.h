#pragma once
// HTTP Digest (RFC 7616, and RFC 2617's MD5) for cameras that answer 401 with a Digest challenge,
// computed here rather than by the platform's HTTP library, so that every platform sends the same
// answer (Wine's WinHTTP has no Digest). Never Basic: the password would travel.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "onvif/crypto.h"

namespace quillctl::onvif {

struct DigestChallenge {
    std::string realm;
    std::string nonce;
    std::string opaque;
    std::string algorithmName; // as sent, e.g. "SHA-256"; empty means MD5
    Hash hash = Hash::Md5;
    bool session = false; // the -sess variant
    bool qopAuth = false; // qop offers "auth"; without any qop, the RFC 2069 answer
    bool stale = false;
};

// The strongest Digest challenge among the WWW-Authenticate values that quillctl can answer (SHA-256
// before MD5); nullopt when there is none (e.g. only Basic, or only qop=auth-int).
std::optional<DigestChallenge> ChooseDigestChallenge(const std::vector<std::string>& wwwAuthenticate);

// The Authorization header's value for one request. `cnonce` is fresh for each; `count` the request
// number under this nonce, from 1.
std::string DigestAuthorization(Crypto& crypto, const DigestChallenge& challenge, std::string_view method,
                                std::string_view uri, std::string_view user, std::string_view password,
                                std::string_view cnonce, unsigned count);

} // namespace quillctl::onvif
