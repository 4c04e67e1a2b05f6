#pragma once
// Standard output that remembers why it could not be written: the reader went away (a closed pipe,
// as `quillctl find | head -1` leaves it), which a command ends quietly on, or any other failure (a
// full disk), which it names.
#include <functional>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>

namespace quillctl {

struct WriteFailure {
    bool readerGone = false; // a closed pipe
    std::string reason;      // the system's words
};

// Collects what is written and hands it to the platform's write on a flush (or when 64 KiB are
// waiting). After the first failed write it keeps the failure, drops everything after it, and the
// stream it serves turns bad, so the commands see it as they would any stream error.
class OutputSink : public std::streambuf {
  public:
    // Writes all of `bytes`, or says why not.
    using WriteAll = std::function<std::optional<WriteFailure>(std::string_view bytes)>;

    explicit OutputSink(WriteAll write) : write_(std::move(write)) {}
    ~OutputSink() override { Drain(); }

    const std::optional<WriteFailure>& failure() const { return failure_; }

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* bytes, std::streamsize count) override;
    int sync() override { return Drain() ? 0 : -1; }

  private:
    bool Drain();

    WriteAll write_;
    std::string waiting_;
    std::optional<WriteFailure> failure_;
};

} // namespace quillctl
