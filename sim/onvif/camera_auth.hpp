#pragma once

#include "base/sim_clock.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quillsim {

// How a camera wants its callers to prove who they are.
enum class AuthMode {
    token,  // WS-Security UsernameToken with PasswordDigest only; a call without one gets HTTP 400
    digest, // HTTP Digest only (MD5, qop=auth); a call without it gets HTTP 401 and a challenge
    both,   // either; a call with neither gets the Digest challenge
};

// The one user of every camera of a simulator. The password never leaves this struct: not in a log line,
// an answer or an error.
struct CameraCredentials {
    std::string user;
    std::string password;
};

// A WS-Security UsernameToken as read from a request's header.
struct UsernameToken {
    std::string username;
    std::string password_type; // the Type attribute, a URI
    std::string password;
    std::string nonce; // as written: Base64
    std::string created;
};

inline constexpr std::string_view kPasswordDigestType =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-username-token-profile-1.0#PasswordDigest";

// A UsernameToken's Created must lie this close to the camera's own clock; its nonce is remembered that long.
inline constexpr double kCreatedWindowSeconds = 300;
// A Digest nonce the camera handed out serves that long, then the client is told it is stale.
inline constexpr Millis kDigestNonceLifeMs = 300'000;

enum class AuthVerdict {
    granted,
    missing, // no credentials of a kind the camera takes
    refused, // credentials that do not hold
};

struct AuthOutcome {
    AuthVerdict verdict = AuthVerdict::missing;
    std::string method; // "token", "digest" or "none"
    std::string user;   // as the caller named it
    std::string reason; // for the log: why refused
    bool stale = false; // a Digest nonce that had expired: challenge again with stale=true
};

// What a request offers: its UsernameToken and its HTTP Authorization header, if any.
struct OfferedCredentials {
    std::optional<UsernameToken> token;
    std::optional<std::string> authorization;
    std::string method = "POST"; // the HTTP request's method and target, which a Digest answer covers
    std::string target;
};

// "2026-12-10T04:30:15Z" or with fractions of a second or an offset: Unix seconds; nothing if malformed.
std::optional<double> parse_xml_datetime(std::string_view text);

// Checks one camera's callers. camera_seconds is the camera's own clock (Unix seconds, offset included),
// against which a UsernameToken's Created is judged; now is the monotonic time that ages Digest nonces.
class CameraAuth {
  public:
    CameraAuth(CameraCredentials credentials, AuthMode mode)
        : credentials_(std::move(credentials)), mode_(mode) {}

    AuthMode mode() const { return mode_; }
    AuthOutcome check(const OfferedCredentials& offered, double camera_seconds, Millis now);
    // A fresh WWW-Authenticate value; the nonce is remembered for kDigestNonceLifeMs.
    std::string challenge(Millis now, bool stale);

  private:
    AuthOutcome check_token(const UsernameToken& token, double camera_seconds);
    AuthOutcome check_digest(const std::string& header, const OfferedCredentials& offered, Millis now);

    struct DigestNonce {
        Millis issued = 0;
        std::uint64_t last_count = 0; // nc values must rise, so an answer cannot be replayed
    };

    CameraCredentials credentials_;
    AuthMode mode_;
    std::map<std::string, double> token_nonces_; // decoded nonce -> the Created it came with
    std::map<std::string, DigestNonce> digest_nonces_;
};

} // namespace quillsim
