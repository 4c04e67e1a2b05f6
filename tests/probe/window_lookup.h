// Finding the program's dialogs and message boxes among the desktop's top-level windows, the way a
// tester looks at the screen: only visible windows of the dialog class count.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct DialogWindow {
    HWND hwnd;
    DWORD pid;
    std::wstring caption;
};

// Visible top-level #32770 windows, in Z order; with a caption, only those with exactly that caption.
std::vector<DialogWindow> visible_dialogs(const std::wstring* caption = nullptr);

// The first visible dialog with that caption, preferring one of process `pid` (0: any process).
HWND find_dialog(const std::wstring& caption, DWORD pid = 0);
// Poll for it; null after `timeout_ms`.
HWND wait_for_dialog(const std::wstring& caption, DWORD pid, DWORD timeout_ms);
// Poll until no visible dialog has that caption; false after `timeout_ms`.
bool wait_for_no_dialog(const std::wstring& caption, DWORD pid, DWORD timeout_ms);

DWORD window_pid(HWND window);
// The child with that control id; throws ProbeError if there is none.
HWND child_by_id(HWND dialog, int id);
std::wstring hex_handle(HWND window);
