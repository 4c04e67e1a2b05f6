#pragma once
// Watches the messages a list view of the window under test receives, from a window procedure put in
// front of its own: whether redraw was last switched off or on, when it was last emptied. It can also
// make each row insert slow, as a busy system makes it.
#include <atomic>
#include <chrono>

#include <windows.h>

namespace test {

class ListSpy {
  public:
    explicit ListSpy(HWND list);
    ~ListSpy();
    ListSpy(const ListSpy&) = delete;
    ListSpy& operator=(const ListSpy&) = delete;

    // The wParam of the last WM_SETREDRAW, or -1 before the first.
    int LastRedraw() const { return m_lastRedraw.load(); }
    // When the list last received LVM_DELETEALLITEMS (the epoch before the first).
    std::chrono::steady_clock::time_point LastEmptied() const {
        return std::chrono::steady_clock::time_point(
            std::chrono::steady_clock::duration(m_lastEmptied.load()));
    }
    void SetInsertDelay(DWORD ms) { m_insertDelayMs = ms; }

  private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND m_list;
    WNDPROC m_next = nullptr;
    std::atomic<int> m_lastRedraw{-1};
    std::atomic<std::chrono::steady_clock::rep> m_lastEmptied{0};
    std::atomic<DWORD> m_insertDelayMs{0};
};

// Makes the next allocation by operator new on `threadId` throw std::bad_alloc, as memory running out
// at that moment would. Only for test programs that link allocation_failure.cpp.
void FailNextAllocationOn(DWORD threadId);
bool AllocationFailurePending();

} // namespace test
