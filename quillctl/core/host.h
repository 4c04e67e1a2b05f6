#pragma once
// What the commands need from the platform (Linux or Windows): the interface list, the sockets, the
// terminal, the browser, HTTP and crypto for the cameras' device services, and the secrets' sources.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "links.h"
#include "onvif/crypto.h"
#include "onvif/http_transport.h"
#include "wire.h"

namespace quillctl {

class Host {
  public:
    virtual ~Host() = default;

    // Throws CommandError (exit 1) when the list cannot be read.
    virtual std::vector<HostInterface> Interfaces() = 0;

    // The receiving socket on port 5555, joined on every link, and one sending socket per link; the
    // WS-Discovery sockets that `options` ask for. Throws WireSetupError.
    virtual std::unique_ptr<Wire> OpenWire(const std::vector<Link>& links, const WireOptions& options) = 0;

    virtual bool ErrorStreamIsTerminal() = 0;

    // Hands the URL to the desktop's browser; an empty text when that worked, else why not.
    virtual std::string OpenInBrowser(const std::string& url) = 0;

    virtual onvif::HttpTransport& Http() = 0;
    virtual onvif::Crypto& PlatformCrypto() = 0;

    // An environment variable's value; nullopt when it is not set.
    virtual std::optional<std::string> Environment(const std::string& name) = 0;
    // One line typed on the terminal without echo, after `prompt` on the terminal; nullopt when standard
    // input is no terminal.
    virtual std::optional<std::string> ReadPasswordFromTerminal(const std::string& prompt) = 0;
    // A file holding passwords, whole. Throws CommandError (exit 2) when it cannot be read, or (Linux)
    // when its group or others may read it; the message names the file, never its content.
    virtual std::string ReadSecretFile(const std::string& path) = 0;
    static constexpr size_t kMaxSecretFileBytes = 1 << 20;
};

} // namespace quillctl
