#pragma once
// Whole small files by a UTF-8 path (so a plan named in any language opens on Windows too).
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillctl {

// The file's bytes, or nothing with `error` set (the system's reason, or that it is too large).
std::optional<std::string> ReadSmallFile(const std::string& utf8Path, size_t maxBytes, std::string& error);

// A text file's bytes as UTF-8: UTF-16 with a byte order mark (little- or big-endian, as Windows
// PowerShell 5.1 writes a redirection) is converted, without its mark; anything else is taken as it is.
// Nothing with `error` set when the UTF-16 ends in half a character or holds a lone surrogate.
std::optional<std::string> TextAsUtf8(std::string_view bytes, std::string& error);

// Writes the whole text, replacing the file at once: into a new file in the same folder, which is
// then renamed over it, so no reader (and no interruption) ever finds half of it. False with `error`
// set when that fails; the file is then as it was.
bool WriteFileAtomically(const std::string& utf8Path, const std::string& text, std::string& error);

// Whether WriteFileAtomically can write there (a new file can be made in the file's folder), without
// changing anything.
bool CanWriteFile(const std::string& utf8Path, std::string& error);

} // namespace quillctl
