#pragma once
#include <windows.h>

// A critical section that exists exactly as long as its owner: made with it, deleted with it, so no
// flag has to tell whether it may be entered or deleted.
class CCriticalSection {
  public:
    CCriticalSection() { ::InitializeCriticalSection(&m_sect); }
    ~CCriticalSection() { ::DeleteCriticalSection(&m_sect); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void Lock() { ::EnterCriticalSection(&m_sect); }
    void Unlock() { ::LeaveCriticalSection(&m_sect); }

  private:
    CRITICAL_SECTION m_sect;
};

// Holds a critical section for one scope, so no early return leaves it held.
class CriticalSectionLock {
  public:
    explicit CriticalSectionLock(CCriticalSection& cs) : m_cs(cs) { m_cs.Lock(); }
    ~CriticalSectionLock() { m_cs.Unlock(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

  private:
    CCriticalSection& m_cs;
};
