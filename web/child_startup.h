#pragma once
// The start-up block of a hidden console child whose one inherited handle is its output.
#include <windows.h>

// Filled here alone, never from this program's own start-up information (which would hand on the C
// runtime's handle data and this program's standard input). The child runs hidden (SW_HIDE) with
// `output`, which the caller has made inheritable, as its standard output and error, and no standard
// input. Where the platform lists the handles a child inherits (Vista on), the list holds `output`
// alone, so no other inheritable handle of this process, whoever made it, reaches the child; where it
// does not, the child inherits every inheritable handle, and this program makes no other.
class ChildStartup {
  public:
    explicit ChildStartup(HANDLE output);
    ~ChildStartup();
    ChildStartup(const ChildStartup&) = delete;
    ChildStartup& operator=(const ChildStartup&) = delete;

    STARTUPINFOA* Info() { return &m_info.StartupInfo; }
    // The creation flags that go with Info(). A console child gets no console window at all
    // (CREATE_NO_WINDOW): SW_HIDE alone is not honoured where Windows Terminal is the default console
    // (Windows 11 22H2 on), which opens a terminal window for every start.
    DWORD CreationFlags() const {
        return CREATE_NO_WINDOW | (m_attributes != nullptr ? EXTENDED_STARTUPINFO_PRESENT : 0);
    }

  private:
    bool ListOnly(HANDLE handle);

    STARTUPINFOEXA m_info{};
    // The attribute list points at this member, so it must live as long as the list.
    HANDLE m_inherited = nullptr;
    LPPROC_THREAD_ATTRIBUTE_LIST m_attributes = nullptr;
};
