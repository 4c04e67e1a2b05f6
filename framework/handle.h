#pragma once
// Owners of kernel handles: one handle each, closed when the owner goes or when it is reset.
#include <utility>

#include <windows.h>

class CHandle {
  public:
    CHandle() = default;
    explicit CHandle(HANDLE h) : m_h(h) {}
    ~CHandle() { Close(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    CHandle& operator=(HANDLE h) {
        Close();
        m_h = h;
        return *this;
    }

    operator HANDLE() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    void Close() {
        if (m_h != nullptr)
            ::CloseHandle(std::exchange(m_h, nullptr));
    }

  private:
    HANDLE m_h = nullptr;
};
