// Input as the program would get it from a user: mouse and key messages posted to its queue, so they
// pass through its message loop and the dialog manager (a sent message would skip both).
#pragma once

#include <windows.h>

void post_click(HWND window, POINT client_point);
void post_double_click(HWND window, POINT client_point);
void post_key(HWND window, UINT virtual_key);
// Typed characters are sent, one at a time, to whichever window has the focus at that moment, so
// a control that moves the focus while typing (the address control after ".") is followed.
void type_character(HWND focus_owner_thread_window, wchar_t character);
// The window with the keyboard focus in the thread that owns `window`, or null.
HWND focused_window(HWND window);
// A user's mouse click on `target` through the system's input queue (not a posted message, which
// would overtake input the program has not taken yet), then the milliseconds until `watched` is
// disabled: what a user waits for the click to take effect. Throws after `timeout_ms`.
long long user_click_ms(HWND target, HWND watched, ULONGLONG timeout_ms);
