#pragma once
// The device web page's address, built only from text that is a plain IPv4 address: the row's text is
// whatever some host on the LAN put in its reply, and it goes to the shell as a URL. Pure code: builds
// for the host (sanitizers) and for Windows.
#include <cstddef>
#include <cstdint>

namespace quillmast {

// True when `text` is exactly four decimal numbers from 0 to 255 joined by '.', with nothing before,
// between or after them. A number may not have a leading zero ("01"): URL parsers read such a part as
// octal, so the page opened would not be the address the list shows.
bool IsDottedIpv4(const char* text);

// 7 + 15 + 1 + 11 + 1 characters at most, and the terminating zero, with room to spare.
inline constexpr size_t kDeviceUrlCapacity = 64;

// "http://%s:%d/" with the address and the port as a signed decimal number (80 included). When the
// text is not a dotted IPv4 address, writes an empty string and returns false.
bool FormatDeviceUrl(const char* ipText, int32_t port, char (&url)[kDeviceUrlCapacity]);

} // namespace quillmast
