#pragma once
// Windows opens a path of MAX_PATH (260) characters or more only in its extended-length form,
// "\\?\C:\..." or "\\?\UNC\server\share\...", where Windows 10's long-path setting is off and on
// Windows 7 and 8. That form is taken literally: it must be absolute, with backslashes and no "." or
// ".." parts, which std::filesystem::absolute gives on Windows.
#include <string>

namespace quillctl {

constexpr size_t kWindowsMaxPath = 260;

// `fullPath` (absolute, as above) in the form Windows opens at any length: unchanged when it is shorter
// than MAX_PATH, already extended or a device path, or not absolute.
std::string WindowsLongPath(const std::string& fullPath);

} // namespace quillctl
