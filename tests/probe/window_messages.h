// Sending to the program under test without ever hanging the probe: every send has a time-out, and a
// program that does not answer is reported as an error of the command.
#pragma once

#include <windows.h>

#include <string>

inline constexpr UINT kSendTimeoutMs = 5000;

LRESULT send_checked(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0);
void post_checked(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0);

// WM_GETTEXT, which the system marshals between processes and which edit controls answer with their
// current contents (GetWindowTextW of another process's window may only see the stored caption).
std::wstring window_text(HWND window);
void set_window_text(HWND window, const std::wstring& text);
