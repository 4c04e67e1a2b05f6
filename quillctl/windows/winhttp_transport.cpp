#include "winhttp_transport.h"

#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <memory>

namespace quillctl {

namespace {

struct HandleCloser {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

std::wstring Wide(const std::string& text) {
    int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::string Narrow(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                        nullptr);
    return out;
}

onvif::HttpResponse Failed(onvif::HttpFailure failure, const std::string& what) {
    onvif::HttpResponse response;
    response.failure = failure;
    response.error = what + " (WinHTTP error " + std::to_string(GetLastError()) + ")";
    return response;
}

onvif::HttpFailure FailureOf(DWORD error) {
    switch (error) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return onvif::HttpFailure::Connect;
    case ERROR_WINHTTP_TIMEOUT:
        return onvif::HttpFailure::Timeout;
    default:
        return onvif::HttpFailure::Other;
    }
}

} // namespace

onvif::HttpResponse WinHttpTransport::Post(const onvif::HttpRequest& request,
                                           const onvif::HttpLimits& limits) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + limits.answer;
    std::wstring url = Wide(request.url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts) || parts.nScheme != INTERNET_SCHEME_HTTP)
        return Failed(onvif::HttpFailure::Other, "not an http URL");
    std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path += std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty())
        path = L"/";

    Handle session(WinHttpOpen(L"quillctl", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return Failed(onvif::HttpFailure::Other, "cannot open a WinHTTP session");
    const int answer = static_cast<int>(limits.answer.count());
    WinHttpSetTimeouts(session.get(), answer, static_cast<int>(limits.connect.count()), answer, answer);
    Handle connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection)
        return Failed(onvif::HttpFailure::Connect, "cannot connect");
    Handle handle(WinHttpOpenRequest(connection.get(), L"POST", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                     WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
    if (!handle)
        return Failed(onvif::HttpFailure::Other, "cannot open a request");
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(handle.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never));
    DWORD noLogon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH;
    WinHttpSetOption(handle.get(), WINHTTP_OPTION_AUTOLOGON_POLICY, &noLogon, sizeof(noLogon));
    std::wstring headers;
    for (const auto& [name, value] : request.headers)
        headers += Wide(name) + L": " + Wide(value) + L"\r\n";
    if (!WinHttpSendRequest(handle.get(), headers.c_str(), static_cast<DWORD>(-1),
                            const_cast<char*>(request.body.data()), static_cast<DWORD>(request.body.size()),
                            static_cast<DWORD>(request.body.size()), 0) ||
        !WinHttpReceiveResponse(handle.get(), nullptr)) {
        DWORD error = GetLastError();
        return Failed(FailureOf(error), "no answer");
    }

    onvif::HttpResponse response;
    DWORD status = 0, size = sizeof(status);
    WinHttpQueryHeaders(handle.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    response.status = static_cast<int>(status);
    DWORD headerBytes = 0;
    WinHttpQueryHeaders(handle.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, nullptr,
                        &headerBytes, WINHTTP_NO_HEADER_INDEX);
    if (headerBytes > limits.maxResponseBytes)
        return Failed(onvif::HttpFailure::TooLarge, "headers over the limit");
    if (headerBytes > 0) {
        std::wstring raw(headerBytes / sizeof(wchar_t), L'\0');
        if (WinHttpQueryHeaders(handle.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                                raw.data(), &headerBytes, WINHTTP_NO_HEADER_INDEX))
            response.headers = onvif::ParseHeaderLines(Narrow(raw.substr(0, headerBytes / sizeof(wchar_t))));
    }
    for (;;) {
        if (steady_clock::now() > deadline)
            return Failed(onvif::HttpFailure::Timeout, "no whole answer in time");
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(handle.get(), &available)) {
            DWORD error = GetLastError();
            return Failed(FailureOf(error), "the answer broke off");
        }
        if (available == 0)
            break;
        if (response.body.size() + available > limits.maxResponseBytes)
            return Failed(onvif::HttpFailure::TooLarge,
                          "an answer over " + std::to_string(limits.maxResponseBytes) + " bytes");
        size_t at = response.body.size();
        response.body.resize(at + available);
        DWORD read = 0;
        if (!WinHttpReadData(handle.get(), response.body.data() + at, available, &read))
            return Failed(onvif::HttpFailure::Other, "the answer broke off");
        response.body.resize(at + read);
    }
    return response;
}

} // namespace quillctl
