#pragma once

#include "mac_address.hpp"

#include <string>
#include <string_view>

namespace quillsim {

// The whole HTTP/1.0 response a device's web page gets: enough for a test to see that the program opened
// the right device's address and port.
std::string device_page_response(const MacBytes& mac, std::string_view address, int port);

} // namespace quillsim
