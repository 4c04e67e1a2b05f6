#pragma once
#include <windows.h>

// Anything with a message map: windows, and the application object (which sees commands that no
// window handled).
class CCmdTarget {
  public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // The message map. Returns true when an entry handled the message, with its result in lResult.
    virtual bool ProcessWindowMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }
};
