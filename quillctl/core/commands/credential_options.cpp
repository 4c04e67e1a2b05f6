#include "commands/credential_options.h"

#include "net/exit_status.h"
#include "net/text_escape.h"

namespace quillctl {

namespace {

// The file's first line, without its line end.
std::string FirstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::string Password(Host& host, const CredentialOptions& options) {
    if (std::optional<std::string> value = host.Environment(kPasswordVariable); value && !value->empty())
        return *value;
    if (!options.passwordFile.empty()) {
        std::string line = FirstLine(host.ReadSecretFile(options.passwordFile));
        if (line.empty())
            throw CommandError(kExitUsage, "the password file " + EscapeName(options.passwordFile) +
                                               " holds no password on its first line");
        return line;
    }
    if (std::optional<std::string> typed =
            host.ReadPasswordFromTerminal("Password for " + EscapeText(options.user) + ": "))
        return *typed;
    throw CommandError(kExitUsage, "--user needs a password: set " + std::string(kPasswordVariable) +
                                       ", give --password-file FILE or run on a terminal to type it");
}

} // namespace

onvif::CredentialBook LoadCredentials(Host& host, const CredentialOptions& options) {
    onvif::CredentialBook book;
    if (!options.passwordFile.empty() && options.user.empty())
        throw CommandError(kExitUsage, "--password-file needs --user");
    if (!options.credentialsFile.empty()) {
        std::string text = host.ReadSecretFile(options.credentialsFile);
        try {
            book.ReadFile(text);
        } catch (const std::invalid_argument& error) {
            throw CommandError(kExitUsage, "the credentials file " + EscapeName(options.credentialsFile) +
                                               ", " + error.what());
        }
    }
    if (!options.user.empty())
        book.SetDefault({options.user, Password(host, options)});
    return book;
}

} // namespace quillctl
