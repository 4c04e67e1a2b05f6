#pragma once
// What the commands need from the platform (Linux or Windows): the interface list, the sockets, the
// terminal and the browser.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "links.h"
#include "output_sink.h"
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

    // Why standard output could not be written, once it could not; nothing while it could.
    virtual std::optional<WriteFailure> OutputFailure() = 0;

    // Hands the URL to the desktop's browser; an empty text when that worked, else why not.
    virtual std::string OpenInBrowser(const std::string& url) = 0;
};

} // namespace quillctl
