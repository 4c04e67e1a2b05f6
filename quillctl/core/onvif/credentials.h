#pragma once
// Which user name and password go to which camera: per endpoint or MAC from a --credentials file, else
// the file's `*` line, else --user with its password. Passwords stay in here and in the requests'
// digests: never printed, never in an error.
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "net/mac_argument.h"
#include "onvif/device_client.h"

namespace quillctl::onvif {

class CredentialBook {
  public:
    // --user with its password: for every camera the file does not name.
    void SetDefault(Credentials credentials) { default_ = std::move(credentials); }
    bool empty() const { return !default_ && !fileDefault_ && byEndpoint_.empty() && byMac_.empty(); }

    std::optional<Credentials> For(const std::string& endpoint, const std::optional<Mac>& mac) const;

    // The file's text: one camera a line, `KEY USER PASSWORD`, where KEY is an endpoint (urn:...), a
    // MAC or `*` (any other camera), the password is the rest of the line after the blanks that follow
    // USER (it may hold blanks itself, not at its start), and blank lines and lines starting with `#`
    // are skipped. Throws std::invalid_argument naming the line by its number only.
    void ReadFile(std::string_view text);

  private:
    std::optional<Credentials> default_, fileDefault_;
    std::map<std::string, Credentials> byEndpoint_;
    std::map<Mac, Credentials> byMac_;
};

} // namespace quillctl::onvif
