#pragma once
// Whole small files by a UTF-8 path (so a plan named in any language opens on Windows too).
#include <cstddef>
#include <optional>
#include <string>

namespace quillctl {

// The file's bytes, or nothing with `error` set (the system's reason, or that it is too large).
std::optional<std::string> ReadSmallFile(const std::string& utf8Path, size_t maxBytes, std::string& error);

// Writes the whole text, replacing the file; false with `error` set when that fails.
bool WriteWholeFile(const std::string& utf8Path, const std::string& text, std::string& error);

// Whether the file can be opened for writing, without changing what it holds.
bool CanWriteFile(const std::string& utf8Path, std::string& error);

} // namespace quillctl
