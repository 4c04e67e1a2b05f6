#pragma once
// What the commands need from the platform (Linux or Windows): the interface list, the sockets, the
// neighbours that answer ARP, the terminal, the browser, HTTP and crypto for the cameras' device
// services, and the secrets' sources.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/links.h"
#include "net/mac_argument.h"
#include "onvif/crypto.h"
#include "onvif/http_transport.h"
#include "output/output_sink.h"
#include "net/wire.h"

namespace quillctl {

// Who answers ARP for some addresses of one link, asked the way the system resolves any neighbour
// (no raw socket): Linux sends each a datagram and reads the kernel's neighbour table, Windows asks
// SendARP. Asked when made; the answers are collected while the caller does other work.
class NeighbourQuery {
  public:
    virtual ~NeighbourQuery() = default;
    // The addresses asked for that some machine answered ARP for, with its MAC: waits until each has
    // answered or `until` has passed (of the wire's clock).
    virtual std::map<Ipv4, Mac> Answers(Clock::time_point until) = 0;
};

class Host {
  public:
    virtual ~Host() = default;

    // Throws CommandError (exit 1) when the list cannot be read.
    virtual std::vector<HostInterface> Interfaces() = 0;

    // The receiving socket on port 5555, joined on every link, and one sending socket per link; the
    // WS-Discovery sockets that `options` ask for. Throws WireSetupError.
    virtual std::unique_ptr<Wire> OpenWire(const std::vector<Link>& links, const WireOptions& options) = 0;

    // Starts asking who holds `addresses` (each in the link's subnet) on the link.
    virtual std::unique_ptr<NeighbourQuery> AskNeighbours(const Link& link,
                                                          const std::vector<Ipv4>& addresses) = 0;

    virtual bool ErrorStreamIsTerminal() = 0;

    // Why standard output could not be written, once it could not; nothing while it could.
    virtual std::optional<WriteFailure> OutputFailure() = 0;

    // Hands the URL to the desktop's browser; an empty text when that worked, else why not.
    virtual std::string OpenInBrowser(const std::string& url) = 0;

    // What may keep every reply away on this platform and how to undo it (Windows: its firewall), said
    // when searches went out and not one datagram came back; empty where there is nothing to say.
    virtual std::string NoReplyHint() { return {}; }

    virtual onvif::HttpTransport& Http() = 0;
    // Whether the cameras' calls are made on the command's own thread: a host whose clock is not the
    // real one (the tests' in-memory LAN) needs each answer before its time moves on.
    virtual bool CameraCallsInline() { return false; }
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
