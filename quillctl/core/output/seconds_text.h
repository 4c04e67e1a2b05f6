#pragma once
#include <string>

namespace quillctl {

// "2", "0.5" (shortest form) by default; with `decimals`, that many ("0.95").
std::string SecondsText(double seconds, int decimals = -1);

} // namespace quillctl
