#pragma once
// The one way a worker thread hands a result to a window's thread: a posted message, never a sent
// one, so the worker never waits on the window. At most one such message waits in the queue; a post
// that fails marks nothing as waiting, so the worker's next attempt posts again instead of the
// window never hearing of the result.
#include <atomic>

#include <windows.h>

class CPostedResult {
  public:
    // True when a message is queued now or was already waiting. `wParam` lets the window tell the
    // poster's message from one of the same number that anyone else could post.
    bool Post(HWND hWnd, UINT msg, WPARAM wParam = 0) {
        if (m_queued.exchange(true, std::memory_order_acq_rel))
            return true;
        if (::PostMessageW(hWnd, msg, wParam, 0))
            return true;
        m_queued.store(false, std::memory_order_release);
        return false;
    }
    // Called by the window before it acts on the message, so a result that comes meanwhile posts anew.
    void Taken() { m_queued.store(false, std::memory_order_release); }

  private:
    std::atomic<bool> m_queued{false};
};
