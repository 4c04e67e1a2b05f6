#pragma once
// CWinThread: a worker thread whose handle the object owns. The object is never deleted by the
// thread itself: its owner waits for the thread (or gives up waiting) and then deletes it, so the
// object cannot vanish while the thread still runs.
#include <utility>

#include <windows.h>

using AFX_THREADPROC = UINT(__cdecl*)(LPVOID);

class CWinThread {
  public:
    CWinThread(AFX_THREADPROC proc, LPVOID param) : m_pfnThreadProc(proc), m_pThreadParams(param) {}
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;
    ~CWinThread() {
        if (m_hThread)
            ::CloseHandle(m_hThread);
    }

    BOOL CreateThread(DWORD flags = 0) {
        m_hThread = ::CreateThread(nullptr, 0, Start, this, flags, &m_nThreadID);
        return m_hThread != nullptr;
    }
    DWORD ResumeThread() const { return ::ResumeThread(m_hThread); }

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;

  private:
    static DWORD WINAPI Start(LPVOID self) {
        auto* thread = static_cast<CWinThread*>(self);
        return thread->m_pfnThreadProc(thread->m_pThreadParams);
    }
    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
};

// Starts `proc(param)` on a new thread. The caller owns the returned object (null on failure).
inline CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, DWORD flags = 0) {
    auto* thread = new CWinThread(proc, param);
    if (!thread->CreateThread(flags)) {
        delete thread;
        return nullptr;
    }
    return thread;
}
