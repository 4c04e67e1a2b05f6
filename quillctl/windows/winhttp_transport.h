#pragma once
// HTTP to the cameras with the system's WinHTTP: plain http only, no redirect followed, no proxy, no
// authentication of WinHTTP's own (the core answers Digest itself), the time and size limits enforced.
#include "onvif/http_transport.h"

namespace quillctl {

class WinHttpTransport : public onvif::HttpTransport {
  public:
    onvif::HttpResponse Post(const onvif::HttpRequest& request, const onvif::HttpLimits& limits) override;
};

} // namespace quillctl
