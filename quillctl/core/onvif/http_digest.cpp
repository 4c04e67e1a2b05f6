#include "onvif/http_digest.h"

#include <cctype>
#include <cstdio>
#include <map>

#include "onvif/onvif_facts.h"

namespace quillctl::onvif {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// The auth-params of one challenge: name=token or name="quoted string", comma-separated.
std::optional<std::map<std::string, std::string>> Params(std::string_view text) {
    std::map<std::string, std::string> params;
    size_t at = 0;
    auto skipBlanks = [&] {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == ','))
            ++at;
    };
    for (skipBlanks(); at < text.size(); skipBlanks()) {
        size_t equals = text.find('=', at);
        if (equals == std::string_view::npos)
            return std::nullopt;
        std::string name = Lower(text.substr(at, text.find_last_not_of(" \t", equals - 1) + 1 - at));
        at = text.find_first_not_of(" \t", equals + 1);
        if (at == std::string_view::npos)
            return std::nullopt;
        std::string value;
        if (text[at] == '"') {
            for (++at; at < text.size() && text[at] != '"'; ++at) {
                if (text[at] == '\\' && at + 1 < text.size())
                    ++at;
                value += text[at];
            }
            if (at >= text.size())
                return std::nullopt;
            ++at;
        } else {
            size_t end = text.find_first_of(", \t", at);
            if (end == std::string_view::npos)
                end = text.size();
            value = std::string(text.substr(at, end - at));
            at = end;
        }
        // Realm, nonce and opaque go back in our Authorization header: a control byte there could
        // end the header and start another.
        for (unsigned char c : value)
            if (c < 0x20 || c == 0x7f)
                return std::nullopt;
        params[name] = value;
    }
    return params;
}

std::optional<DigestChallenge> ReadChallenge(std::string_view text) {
    if (!StartsWithNoCase(text, "digest") || text.size() < 7 || (text[6] != ' ' && text[6] != '\t'))
        return std::nullopt;
    std::optional<std::map<std::string, std::string>> params = Params(text.substr(7));
    if (!params || !params->count("nonce") || !params->count("realm"))
        return std::nullopt;
    DigestChallenge challenge;
    challenge.realm = (*params)["realm"];
    challenge.nonce = (*params)["nonce"];
    challenge.opaque = (*params)["opaque"];
    challenge.stale = Lower((*params)["stale"]) == "true";
    challenge.algorithmName = (*params)["algorithm"];
    std::string algorithm = Lower(challenge.algorithmName);
    challenge.session = algorithm.size() > 5 && algorithm.ends_with("-sess");
    if (challenge.session)
        algorithm.resize(algorithm.size() - 5);
    if (algorithm.empty() || algorithm == "md5")
        challenge.hash = Hash::Md5;
    else if (algorithm == "sha-256")
        challenge.hash = Hash::Sha256;
    else
        return std::nullopt;
    // Written back as a token of ours, never as the camera's text.
    if (!challenge.algorithmName.empty())
        challenge.algorithmName =
            std::string(challenge.hash == Hash::Md5 ? "MD5" : "SHA-256") + (challenge.session ? "-sess" : "");
    if (params->count("qop")) {
        std::string qop = "," + Lower((*params)["qop"]) + ",";
        std::erase(qop, ' ');
        challenge.qopAuth = qop.find(",auth,") != std::string::npos;
        if (!challenge.qopAuth)
            return std::nullopt;
    }
    return challenge;
}

std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

std::string HexLower(std::span<const uint8_t> bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

std::optional<DigestChallenge> ChooseDigestChallenge(const std::vector<std::string>& wwwAuthenticate) {
    std::optional<DigestChallenge> chosen;
    for (const std::string& value : wwwAuthenticate)
        if (std::optional<DigestChallenge> challenge = ReadChallenge(value))
            if (!chosen || (chosen->hash == Hash::Md5 && challenge->hash == Hash::Sha256))
                chosen = challenge;
    return chosen;
}

std::string DigestAuthorization(Crypto& crypto, const DigestChallenge& challenge, std::string_view method,
                                std::string_view uri, std::string_view user, std::string_view password,
                                std::string_view cnonce, unsigned count) {
    auto h = [&](const std::string& text) { return HexLower(crypto.Digest(challenge.hash, BytesOf(text))); };
    char nc[16];
    std::snprintf(nc, sizeof(nc), "%08x", count);
    std::string secret = std::string(user) + ":" + challenge.realm + ":" + std::string(password);
    std::string ha1 = h(secret);
    std::fill(secret.begin(), secret.end(), '\0');
    if (challenge.session)
        ha1 = h(ha1 + ":" + challenge.nonce + ":" + std::string(cnonce));
    std::string ha2 = h(std::string(method) + ":" + std::string(uri));
    std::string response =
        challenge.qopAuth
            ? h(ha1 + ":" + challenge.nonce + ":" + nc + ":" + std::string(cnonce) + ":auth:" + ha2)
            : h(ha1 + ":" + challenge.nonce + ":" + ha2);
    std::string header = "Digest username=" + Quoted(user) + ", realm=" + Quoted(challenge.realm) +
                         ", nonce=" + Quoted(challenge.nonce) + ", uri=" + Quoted(uri);
    if (!challenge.algorithmName.empty())
        header += ", algorithm=" + challenge.algorithmName;
    header += ", response=" + Quoted(response);
    if (!challenge.opaque.empty())
        header += ", opaque=" + Quoted(challenge.opaque);
    if (challenge.qopAuth)
        header += ", qop=auth, nc=" + std::string(nc) + ", cnonce=" + Quoted(cnonce);
    return header;
}

} // namespace quillctl::onvif
