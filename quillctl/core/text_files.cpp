#include "text_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "long_path.h"

namespace quillctl {

namespace {

std::filesystem::path FromUtf8(const std::string& utf8Path) {
    return std::filesystem::path(std::u8string(utf8Path.begin(), utf8Path.end()));
}

// On Windows a deep plan or report is opened by its extended-length form (see long_path.h).
std::filesystem::path PathOf(const std::string& utf8Path) {
    std::filesystem::path path = FromUtf8(utf8Path);
#ifdef _WIN32
    std::error_code code;
    const std::filesystem::path full = std::filesystem::absolute(path, code);
    if (!code) {
        const std::u8string text = full.u8string();
        return FromUtf8(WindowsLongPath(std::string(text.begin(), text.end())));
    }
#endif
    return path;
}

std::string SystemReason() { return errno != 0 ? std::strerror(errno) : "unknown error"; }

} // namespace

std::optional<std::string> ReadSmallFile(const std::string& utf8Path, size_t maxBytes, std::string& error) {
    std::error_code code;
    std::filesystem::path path = PathOf(utf8Path);
    if (std::filesystem::is_directory(path, code)) {
        error = "it is a folder";
        return std::nullopt;
    }
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = SystemReason();
        return std::nullopt;
    }
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof(buffer)) || in.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(in.gcount()));
        if (text.size() > maxBytes) {
            error = "it is larger than " + std::to_string(maxBytes / (1024 * 1024)) + " MiB";
            return std::nullopt;
        }
    }
    if (in.bad()) {
        error = "read error";
        return std::nullopt;
    }
    return text;
}

bool WriteWholeFile(const std::string& utf8Path, const std::string& text, std::string& error) {
    errno = 0;
    std::ofstream out(PathOf(utf8Path), std::ios::binary | std::ios::trunc);
    if (!out) {
        error = SystemReason();
        return false;
    }
    out << text;
    out.flush();
    if (!out) {
        error = "write error";
        return false;
    }
    return true;
}

bool CanWriteFile(const std::string& utf8Path, std::string& error) {
    std::error_code code;
    const std::filesystem::path path = PathOf(utf8Path);
    const bool existed = std::filesystem::exists(path, code);
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::app);
    if (!out) {
        error = SystemReason();
        return false;
    }
    out.close();
    // The check must not leave an empty report behind if the run ends before writing one.
    if (!existed)
        std::filesystem::remove(path, code);
    return true;
}

} // namespace quillctl
