#include "onvif/ws_security.h"

#include <ctime>

#include "onvif/soap.h"

namespace quillctl::onvif {

std::string UtcText(std::chrono::system_clock::time_point time) {
    std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm parts{};
#ifdef _WIN32
    gmtime_s(&parts, &seconds);
#else
    gmtime_r(&seconds, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

UsernameToken MakeUsernameToken(Crypto& crypto, const std::string& user, const std::string& password,
                                const std::vector<uint8_t>& nonce,
                                std::chrono::system_clock::time_point created) {
    UsernameToken token;
    token.user = user;
    token.created = UtcText(created);
    token.nonce = crypto.Base64(nonce);
    std::vector<uint8_t> hashed(nonce);
    hashed.insert(hashed.end(), token.created.begin(), token.created.end());
    hashed.insert(hashed.end(), password.begin(), password.end());
    token.passwordDigest = crypto.Base64(crypto.Digest(Hash::Sha1, hashed));
    std::fill(hashed.begin(), hashed.end(), uint8_t{0});
    return token;
}

void AddSecurityHeader(pugi::xml_node header, const UsernameToken& token) {
    pugi::xml_node security = header.append_child("wsse:Security");
    security.append_attribute("xmlns:wsse") = std::string(kSecurityExt).c_str();
    security.append_attribute("xmlns:wsu") = std::string(kSecurityUtility).c_str();
    security.append_attribute("s:mustUnderstand") = "1";
    pugi::xml_node usernameToken = security.append_child("wsse:UsernameToken");
    usernameToken.append_child("wsse:Username").text() = token.user.c_str();
    pugi::xml_node password = usernameToken.append_child("wsse:Password");
    password.append_attribute("Type") =
        "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-username-token-profile-1.0#PasswordDigest";
    password.text() = token.passwordDigest.c_str();
    pugi::xml_node nonce = usernameToken.append_child("wsse:Nonce");
    nonce.append_attribute("EncodingType") =
        "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-soap-message-security-1.0#Base64Binary";
    nonce.text() = token.nonce.c_str();
    usernameToken.append_child("wsu:Created").text() = token.created.c_str();
}

} // namespace quillctl::onvif
