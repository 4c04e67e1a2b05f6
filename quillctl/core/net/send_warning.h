#pragma once
// One warning line per link on which a datagram could not be sent, however often it fails again.
#include <ostream>
#include <string>
#include <vector>

#include "net/links.h"

namespace quillctl {

class SendWarnings {
  public:
    SendWarnings(const std::vector<Link>& links, std::ostream& err)
        : links_(links), err_(err), warned_(links.size()) {}

    // Notes the result of one send on `link` (empty when it went out).
    void Note(size_t link, const std::string& error, const char* what);

    bool anySent() const { return anySent_; }
    const std::string& lastError() const { return lastError_; }

  private:
    const std::vector<Link>& links_;
    std::ostream& err_;
    std::vector<bool> warned_;
    bool anySent_ = false;
    std::string lastError_;
};

} // namespace quillctl
