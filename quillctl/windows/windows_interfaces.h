#pragma once
#include <string>
#include <vector>

#include "net/links.h"

namespace quillctl {

// Every adapter with its IPv4 addresses (GetAdaptersAddresses), named as the user sees it. Throws
// CommandError when the list cannot be read.
std::vector<HostInterface> ListWindowsInterfaces();

std::string Utf8FromWide(const wchar_t* text);

} // namespace quillctl
