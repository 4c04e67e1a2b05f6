#pragma once
// HTTP to the cameras with libcurl: plain http only, no redirect followed, no proxy, no authentication
// of curl's own, the time and size limits enforced.
#include "onvif/http_transport.h"

namespace quillctl {

class CurlTransport : public onvif::HttpTransport {
  public:
    CurlTransport();
    ~CurlTransport() override;
    onvif::HttpResponse Post(const onvif::HttpRequest& request, const onvif::HttpLimits& limits) override;
};

} // namespace quillctl
