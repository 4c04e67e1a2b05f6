// operator new for one test program, able to fail once on a chosen thread; otherwise malloc's.
#include <atomic>
#include <cstdlib>
#include <new>

#include <windows.h>

#include "list_spy.h"

namespace {
std::atomic<DWORD> g_failOnThread{0};
} // namespace

namespace test {

void FailNextAllocationOn(DWORD threadId) { g_failOnThread = threadId; }
bool AllocationFailurePending() { return g_failOnThread.load() != 0; }

} // namespace test

void* operator new(std::size_t size) {
    DWORD armed = g_failOnThread.load(std::memory_order_relaxed);
    if (armed != 0 && armed == ::GetCurrentThreadId() && g_failOnThread.compare_exchange_strong(armed, 0))
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
