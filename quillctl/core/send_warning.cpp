#include "send_warning.h"

#include "ipv4.h"

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
    err_ << "quillctl: warning: " << what << " not sent on " << links_[link].name << " ("
         << FormatIpv4(links_[link].Address()) << "): " << error << '\n';
}

} // namespace quillctl
