#pragma once
#include <windows.h>

// Holds a critical section for one scope, so no early return leaves it held.
class CriticalSectionLock {
  public:
    explicit CriticalSectionLock(CRITICAL_SECTION& cs) : m_cs(cs) { ::EnterCriticalSection(&m_cs); }
    ~CriticalSectionLock() { ::LeaveCriticalSection(&m_cs); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

  private:
    CRITICAL_SECTION& m_cs;
};
