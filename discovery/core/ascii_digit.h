#pragma once
// A decimal digit as the protocol and the address texts mean it: ASCII '0' to '9' only, whatever the
// C library's locale says.
namespace quillmast {

constexpr bool IsAsciiDigit(int c) { return c >= '0' && c <= '9'; }

} // namespace quillmast
