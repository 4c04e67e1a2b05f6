#pragma once

// Table bytes in a heap block of exactly their size, so AddressSanitizer reports any read past the end of a
// table, as a read past the end of a locked resource would be on Windows.

#include <string_view>
#include <vector>

inline std::vector<char> ExactBytes(std::string_view text) {
    return std::vector<char>(text.begin(), text.end());
}
