#include "net/send_warning.h"

#include "net/ipv4.h"

namespace quillctl {

void SendWarnings::Note(size_t link, const std::string& error, const char* what) {
    if (error.empty()) {
        anySent_ = true;
        return;
    }
    lastError_ = error;
    if (warned_.at(link))
        return;
    warned_[link] = true;
    err_ << "quillctl: warning: " << what << " not sent on " << DescribeLink(links_[link]) << ": " << error
         << '\n';
}

} // namespace quillctl
