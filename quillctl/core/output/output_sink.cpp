#include "output/output_sink.h"

namespace quillctl {

namespace {
constexpr size_t kDrainAt = 64 * 1024;
}

OutputSink::int_type OutputSink::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return Drain() ? traits_type::not_eof(c) : traits_type::eof();
    char byte = traits_type::to_char_type(c);
    return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

std::streamsize OutputSink::xsputn(const char* bytes, std::streamsize count) {
    if (failure_)
        return 0;
    waiting_.append(bytes, static_cast<size_t>(count));
    if (waiting_.size() >= kDrainAt && !Drain())
        return 0;
    return count;
}

bool OutputSink::Drain() {
    if (!failure_ && !waiting_.empty())
        failure_ = write_(waiting_);
    waiting_.clear();
    return !failure_;
}

} // namespace quillctl
