#pragma once
// Polling for the Windows tests: they wait for a state, never for a fixed time.
#include <chrono>
#include <functional>

#include <windows.h>

namespace test {

// Polls `done` every 10 ms until it holds or `timeout` passes. Returns whether it held.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        ::Sleep(10);
    }
    return true;
}

} // namespace test
