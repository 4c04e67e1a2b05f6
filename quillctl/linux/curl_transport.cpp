#include "curl_transport.h"

#include <curl/curl.h>

namespace quillctl {

namespace {

struct Received {
    std::string body;
    std::string headers;
    size_t limit = 0;
    bool tooLarge = false;
};

size_t TakeBody(char* data, size_t size, size_t count, void* user) {
    auto* received = static_cast<Received*>(user);
    size_t bytes = size * count;
    if (received->body.size() + bytes > received->limit) {
        received->tooLarge = true;
        return 0; // ends the transfer
    }
    received->body.append(data, bytes);
    return bytes;
}

size_t TakeHeader(char* data, size_t size, size_t count, void* user) {
    auto* received = static_cast<Received*>(user);
    size_t bytes = size * count;
    if (received->headers.size() + bytes > received->limit) {
        received->tooLarge = true;
        return 0;
    }
    // A 100 Continue's headers come first: only the last answer's are kept.
    if (bytes > 5 && std::string_view(data, 5) == "HTTP/")
        received->headers.clear();
    received->headers.append(data, bytes);
    return bytes;
}

} // namespace

CurlTransport::CurlTransport() { curl_global_init(CURL_GLOBAL_DEFAULT); }
CurlTransport::~CurlTransport() { curl_global_cleanup(); }

onvif::HttpResponse CurlTransport::Post(const onvif::HttpRequest& request, const onvif::HttpLimits& limits) {
    onvif::HttpResponse response;
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        response.failure = onvif::HttpFailure::Other;
        response.error = "libcurl cannot start a transfer";
        return response;
    }
    Received received;
    received.limit = limits.maxResponseBytes;
    curl_slist* headers = nullptr;
    for (const auto& [name, value] : request.headers)
        headers = curl_slist_append(headers, (name + ": " + value).c_str());
    // No "Expect: 100-continue": cameras often do not know it.
    headers = curl_slist_append(headers, "Expect:");
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.answer.count()));
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxResponseBytes));
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, TakeBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, TakeHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &received);
    CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);

    if (received.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        response.failure = onvif::HttpFailure::TooLarge;
        response.error = "an answer over " + std::to_string(limits.maxResponseBytes) + " bytes";
    } else if (code == CURLE_OPERATION_TIMEDOUT) {
        response.failure = status == 0 && received.headers.empty() ? onvif::HttpFailure::Connect
                                                                   : onvif::HttpFailure::Timeout;
        response.error = curl_easy_strerror(code);
    } else if (code == CURLE_COULDNT_CONNECT) {
        response.failure = onvif::HttpFailure::Connect;
        response.error = curl_easy_strerror(code);
    } else if (code != CURLE_OK) {
        response.failure = onvif::HttpFailure::Other;
        response.error = curl_easy_strerror(code);
    }
    if (response.failure != onvif::HttpFailure::None)
        return response;
    response.status = static_cast<int>(status);
    response.headers = onvif::ParseHeaderLines(received.headers);
    response.body = std::move(received.body);
    return response;
}

} // namespace quillctl
