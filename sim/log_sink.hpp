#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace quillsim {

// Where the JSON lines go. Each line is flushed at once: a test reads the log while the simulator runs.
class LogSink {
  public:
    LogSink() = default;
    LogSink(const LogSink&) = delete;
    LogSink& operator=(const LogSink&) = delete;
    ~LogSink();

    // "-" is standard output, nothing is no log. Returns a message on failure.
    std::optional<std::string> open(const std::optional<std::string>& path);
    void write(std::string_view line);
    bool enabled() const { return file_ != nullptr; }

  private:
    std::FILE* file_ = nullptr;
    bool owned_ = false;
};

} // namespace quillsim
