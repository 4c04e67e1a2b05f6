#include "camera_auth.hpp"

#include "crypto.hpp"
#include "xml_names.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace quillsim {

namespace {

constexpr std::string_view kRealm = "quillsim";
// Enough for many clients at once; beyond it the oldest nonces are forgotten first.
constexpr std::size_t kMaxDigestNonces = 4096;
constexpr std::size_t kMaxTokenNonces = 65536;

AuthOutcome refused(std::string method, std::string user, std::string reason) {
    return AuthOutcome{AuthVerdict::refused, std::move(method), std::move(user), std::move(reason), false};
}

// Compares without stopping at the first difference, so the time taken says nothing about the secret.
bool same_text(std::string_view a, std::string_view b) {
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

// The parameters of a "Digest a=b, c="d"" header, names lower-cased; nothing if it is not Digest.
std::optional<std::map<std::string, std::string>> digest_parameters(std::string_view header) {
    constexpr std::string_view kScheme = "digest ";
    if (header.size() < kScheme.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(header[i])) != kScheme[i]) {
            return std::nullopt;
        }
    }
    std::map<std::string, std::string> out;
    std::size_t at = kScheme.size();
    while (at < header.size()) {
        while (at < header.size() && (header[at] == ' ' || header[at] == ',' || header[at] == '\t')) {
            ++at;
        }
        const auto equals = header.find('=', at);
        if (equals == std::string_view::npos) {
            break;
        }
        std::string name(trim_blanks(header.substr(at, equals - at)));
        for (auto& c : name) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        at = equals + 1;
        std::string value;
        if (at < header.size() && header[at] == '"') {
            for (++at; at < header.size() && header[at] != '"'; ++at) {
                if (header[at] == '\\' && at + 1 < header.size()) {
                    ++at;
                }
                value.push_back(header[at]);
            }
            ++at;
        } else {
            const auto end = std::min(header.find(',', at), header.size());
            value = std::string(trim_blanks(header.substr(at, end - at)));
            at = end;
        }
        out[name] = value;
    }
    return out;
}

} // namespace

std::optional<double> parse_xml_datetime(std::string_view text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, consumed = 0;
    double second = 0;
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%lf%n", &year, &month, &day, &hour, &minute, &second,
                    &consumed) != 6 ||
        month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || !(second >= 0) ||
        second >= 61) {
        return std::nullopt;
    }
    std::string_view zone = std::string_view(copy).substr(static_cast<std::size_t>(consumed));
    int offset_minutes = 0;
    if (zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && zone[3] == ':') {
        int hours = 0, minutes = 0;
        if (std::from_chars(zone.data() + 1, zone.data() + 3, hours).ec != std::errc{} ||
            std::from_chars(zone.data() + 4, zone.data() + 6, minutes).ec != std::errc{}) {
            return std::nullopt;
        }
        offset_minutes = (zone[0] == '-' ? -1 : 1) * (hours * 60 + minutes);
    } else if (zone != "Z") {
        return std::nullopt; // a time without a zone cannot be compared with the camera's clock
    }
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    const std::time_t whole = timegm(&parts);
    return static_cast<double>(whole) + second - offset_minutes * 60.0;
}

AuthOutcome CameraAuth::check(const OfferedCredentials& offered, double camera_seconds, Millis now) {
    const bool takes_token = mode_ != AuthMode::digest;
    const bool takes_digest = mode_ != AuthMode::token;
    if (takes_token && offered.token) {
        return check_token(*offered.token, camera_seconds);
    }
    if (takes_digest && offered.authorization) {
        return check_digest(*offered.authorization, offered, now);
    }
    return AuthOutcome{AuthVerdict::missing, "none", {}, {}, false};
}

AuthOutcome CameraAuth::check_token(const UsernameToken& token, double camera_seconds) {
    const std::string& user = token.username;
    if (token.password_type != kPasswordDigestType) {
        return refused("token", user, "password not a PasswordDigest");
    }
    const auto created = parse_xml_datetime(token.created);
    if (!created) {
        return refused("token", user, "Created malformed");
    }
    if (std::fabs(*created - camera_seconds) > kCreatedWindowSeconds) {
        return refused("token", user, "Created outside the camera's clock window");
    }
    const auto nonce = base64_decode(token.nonce);
    if (!nonce || nonce->empty()) {
        return refused("token", user, "Nonce missing or not Base64");
    }
    // Forget what has left the window: a token that old is refused by its Created anyway.
    std::erase_if(token_nonces_, [&](const auto& entry) {
        return std::fabs(entry.second - camera_seconds) > kCreatedWindowSeconds;
    });
    if (token_nonces_.contains(*nonce)) {
        return refused("token", user, "Nonce used before");
    }
    const Bytes hash = sha1(*nonce + token.created + credentials_.password);
    const std::string expected =
        base64_encode(std::string_view(reinterpret_cast<const char*>(hash.data()), hash.size()));
    if (!same_text(user, credentials_.user) || !same_text(trim_blanks(token.password), expected)) {
        return refused("token", user, "wrong user or password");
    }
    if (token_nonces_.size() < kMaxTokenNonces) {
        token_nonces_.emplace(*nonce, *created);
    }
    return AuthOutcome{AuthVerdict::granted, "token", user, {}, false};
}

AuthOutcome CameraAuth::check_digest(const std::string& header, const OfferedCredentials& offered,
                                     Millis now) {
    const auto parameters = digest_parameters(header);
    if (!parameters) {
        return AuthOutcome{AuthVerdict::missing, "none", {}, {}, false};
    }
    const auto get = [&](const char* name) {
        const auto found = parameters->find(name);
        return found == parameters->end() ? std::string() : found->second;
    };
    const std::string user = get("username");
    const std::string algorithm = get("algorithm");
    if (!algorithm.empty() && algorithm != "MD5") {
        return refused("digest", user, "algorithm not MD5");
    }
    if (get("qop") != "auth" || get("realm") != kRealm || get("uri") != offered.target) {
        return refused("digest", user, "qop, realm or uri not the challenge's");
    }
    const auto nonce = digest_nonces_.find(get("nonce"));
    if (nonce == digest_nonces_.end()) {
        return refused("digest", user, "nonce not the camera's");
    }
    if (now - nonce->second.issued > kDigestNonceLifeMs) {
        digest_nonces_.erase(nonce);
        AuthOutcome outcome = refused("digest", user, "nonce stale");
        outcome.stale = true;
        return outcome;
    }
    const std::string count_text = get("nc");
    std::uint64_t count = 0;
    if (count_text.empty() ||
        std::from_chars(count_text.data(), count_text.data() + count_text.size(), count, 16).ec !=
            std::errc{}) {
        return refused("digest", user, "nc malformed");
    }
    if (count <= nonce->second.last_count) {
        return refused("digest", user, "nc not above the last one");
    }
    const std::string ha1 =
        md5_hex(credentials_.user + ":" + std::string(kRealm) + ":" + credentials_.password);
    const std::string ha2 = md5_hex(offered.method + ":" + offered.target);
    const std::string expected =
        md5_hex(ha1 + ":" + nonce->first + ":" + count_text + ":" + get("cnonce") + ":auth:" + ha2);
    if (!same_text(user, credentials_.user) || !same_text(get("response"), expected)) {
        return refused("digest", user, "wrong user or password");
    }
    nonce->second.last_count = count;
    return AuthOutcome{AuthVerdict::granted, "digest", user, {}, false};
}

std::string CameraAuth::challenge(Millis now, bool stale) {
    std::erase_if(digest_nonces_,
                  [&](const auto& entry) { return now - entry.second.issued > kDigestNonceLifeMs; });
    while (digest_nonces_.size() >= kMaxDigestNonces) {
        auto oldest = digest_nonces_.begin();
        for (auto it = digest_nonces_.begin(); it != digest_nonces_.end(); ++it) {
            if (it->second.issued < oldest->second.issued) {
                oldest = it;
            }
        }
        digest_nonces_.erase(oldest);
    }
    const std::string nonce = random_hex(16);
    digest_nonces_.emplace(nonce, DigestNonce{now, 0});
    return "Digest realm=\"" + std::string(kRealm) + "\", qop=\"auth\", algorithm=MD5, nonce=\"" + nonce +
           "\"" + (stale ? ", stale=true" : "");
}

} // namespace quillsim
