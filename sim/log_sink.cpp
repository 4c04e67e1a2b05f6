#include "log_sink.hpp"

#include <cerrno>
#include <cstring>

namespace quillsim {

LogSink::~LogSink() {
    if (owned_ && file_ != nullptr) {
        std::fclose(file_);
    }
}

std::optional<std::string> LogSink::open(const std::optional<std::string>& path) {
    if (!path) {
        return std::nullopt;
    }
    if (*path == "-") {
        file_ = stdout;
        return std::nullopt;
    }
    file_ = std::fopen(path->c_str(), "w");
    if (file_ == nullptr) {
        return "cannot open log " + *path + ": " + std::strerror(errno);
    }
    owned_ = true;
    return std::nullopt;
}

void LogSink::write(std::string_view line) {
    if (file_ == nullptr) {
        return;
    }
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

} // namespace quillsim
