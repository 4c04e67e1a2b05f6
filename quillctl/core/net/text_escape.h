#pragma once
// Text that came off the network (a reply's address text), from the platform (an interface name) or
// out of a file or the command line, made safe to print: to a terminal, into CSV and into JSON. A
// backslash is doubled and every byte that is not kept is written \xNN, so no escape sequence reaches
// a terminal and the original bytes can still be told apart.
#include <string>
#include <string_view>

namespace quillctl {

// Keeps printable ASCII only: for addresses, MACs and endpoints, where a letter from another script
// that looks like a digit must not pass for one.
std::string EscapeText(std::string_view bytes);

// Keeps printable ASCII and valid UTF-8 too (names in any language), but not the control characters
// of Unicode (U+0080 to U+009F, which terminals may read as escapes), nor the marks that reorder or
// break a line (bidirectional overrides and isolates, line and paragraph separators): those, and
// every byte that is not part of valid UTF-8, are written \xNN byte by byte.
std::string EscapeName(std::string_view bytes);

} // namespace quillctl
