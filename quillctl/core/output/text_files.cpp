#include "output/text_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#ifdef _WIN32
#include <windows.h>
#endif

#include "output/long_path.h"

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

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::optional<std::string> Utf8FromUtf16(std::string_view bytes, bool bigEndian, std::string& error) {
    if (bytes.size() % 2 != 0) {
        error = "its UTF-16 text ends in half a character";
        return std::nullopt;
    }
    auto unit = [&](size_t i) -> char32_t {
        auto first = static_cast<unsigned char>(bytes[i]), second = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (first << 8) | second : (second << 8) | first;
    };
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 2 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            error = "its UTF-16 text holds a lone surrogate at byte " + std::to_string(i);
            return std::nullopt;
        }
        AppendUtf8(out, c);
    }
    return out;
}

// A name no other file in the folder has, beside the file it will replace.
std::filesystem::path TemporarySibling(const std::filesystem::path& path) {
    std::random_device random;
    std::error_code code;
    for (;;) {
        char suffix[16];
        std::snprintf(suffix, sizeof(suffix), ".%08x.tmp", static_cast<unsigned>(random()));
        std::filesystem::path name(".");
        name += path.filename();
        name += suffix;
        std::filesystem::path candidate = path.parent_path() / name;
        if (!std::filesystem::exists(candidate, code))
            return candidate;
    }
}

bool ReplaceFile(const std::filesystem::path& from, const std::filesystem::path& to, std::string& error) {
#ifdef _WIN32
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    error = "cannot replace it (Windows error " + std::to_string(GetLastError()) + ")";
    return false;
#else
    std::error_code code;
    std::filesystem::rename(from, to, code);
    if (code)
        error = code.message();
    return !code;
#endif
}

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

std::optional<std::string> TextAsUtf8(std::string_view bytes, std::string& error) {
    if (bytes.substr(0, 2) == "\xFF\xFE")
        return Utf8FromUtf16(bytes.substr(2), false, error);
    if (bytes.substr(0, 2) == "\xFE\xFF")
        return Utf8FromUtf16(bytes.substr(2), true, error);
    return std::string(bytes);
}

bool WriteFileAtomically(const std::string& utf8Path, const std::string& text, std::string& error) {
    const std::filesystem::path path = PathOf(utf8Path);
    const std::filesystem::path temporary = TemporarySibling(path);
    errno = 0;
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = SystemReason();
        return false;
    }
    out << text;
    out.close();
    std::error_code code;
    if (!out) {
        error = errno != 0 ? SystemReason() : "write error";
        std::filesystem::remove(temporary, code);
        return false;
    }
    if (!ReplaceFile(temporary, path, error)) {
        std::filesystem::remove(temporary, code);
        return false;
    }
    return true;
}

bool CanWriteFile(const std::string& utf8Path, std::string& error) {
    std::error_code code;
    const std::filesystem::path path = PathOf(utf8Path);
    if (std::filesystem::is_directory(path, code)) {
        error = "it is a folder";
        return false;
    }
    const std::filesystem::path temporary = TemporarySibling(path);
    errno = 0;
    std::ofstream out(temporary, std::ios::binary);
    if (!out) {
        error = SystemReason();
        return false;
    }
    out.close();
    std::filesystem::remove(temporary, code);
    return true;
}

} // namespace quillctl
