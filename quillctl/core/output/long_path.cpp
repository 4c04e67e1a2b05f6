#include "output/long_path.h"

namespace quillctl {

namespace {
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
} // namespace

std::string WindowsLongPath(const std::string& fullPath) {
    if (fullPath.size() < kWindowsMaxPath)
        return fullPath;
    if (fullPath.starts_with("\\\\?\\") || fullPath.starts_with("\\\\.\\"))
        return fullPath;
    if (fullPath.size() >= 3 && IsLetter(fullPath[0]) && fullPath[1] == ':' && fullPath[2] == '\\')
        return "\\\\?\\" + fullPath;
    if (fullPath.starts_with("\\\\"))
        return "\\\\?\\UNC\\" + fullPath.substr(2);
    return fullPath;
}

} // namespace quillctl
