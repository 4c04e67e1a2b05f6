#pragma once
// How a fuzzer reports a broken invariant: a line naming it, then an abort, which libFuzzer catches
// and keeps the input for.
#include <cstdio>
#include <cstdlib>

namespace fuzzing {

[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

inline void Check(bool ok, const char* what) {
    if (!ok)
        Fail(what);
}

} // namespace fuzzing
