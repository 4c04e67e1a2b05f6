#pragma once
// Text that came off the network (a reply's address text) or out of a file, made safe to print: to a
// terminal, into CSV and into JSON. Printable ASCII stays as it is, a backslash is doubled and every
// other byte is written \xNN, so no escape sequence reaches a terminal and the original bytes can
// still be told apart.
#include <string>
#include <string_view>

namespace quillctl {

std::string EscapeText(std::string_view bytes);

} // namespace quillctl
