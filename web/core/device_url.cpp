#include "device_url.h"

#include "ascii_digit.h"

#include <cstdio>

namespace quillmast {

namespace {

// Reads one number of a dotted address at `p`, moving `p` past it. False when there is no number, when
// it has a leading zero or when it is above 255.
bool ReadOctet(const char*& p) {
    if (!IsAsciiDigit(*p))
        return false;
    if (*p == '0' && IsAsciiDigit(p[1]))
        return false;
    int value = 0;
    int digits = 0;
    for (; IsAsciiDigit(*p); ++p) {
        if (++digits > 3)
            return false;
        value = value * 10 + (*p - '0');
    }
    return value <= 255;
}

} // namespace

bool IsDottedIpv4(const char* text) {
    if (text == nullptr)
        return false;
    const char* p = text;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0 && *p++ != '.')
            return false;
        if (!ReadOctet(p))
            return false;
    }
    return *p == '\0';
}

bool FormatDeviceUrl(const char* ipText, int32_t port, char (&url)[kDeviceUrlCapacity]) {
    url[0] = '\0';
    if (!IsDottedIpv4(ipText))
        return false;
    std::snprintf(url, sizeof(url), "http://%s:%d/", ipText, static_cast<int>(port));
    return true;
}

} // namespace quillmast
