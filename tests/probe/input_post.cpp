#include "input_post.h"

#include "probe_error.h"
#include "window_messages.h"

namespace {

LPARAM point_param(POINT point) { return MAKELPARAM(point.x, point.y); }

LPARAM key_param(UINT virtual_key, bool up) {
    UINT scan = MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC);
    LPARAM param = 1 | (static_cast<LPARAM>(scan) << 16);
    if (up) {
        param |= static_cast<LPARAM>(0xC0000000u);
    }
    return param;
}

} // namespace

void post_click(HWND window, POINT client_point) {
    post_checked(window, WM_MOUSEMOVE, 0, point_param(client_point));
    post_checked(window, WM_LBUTTONDOWN, MK_LBUTTON, point_param(client_point));
    post_checked(window, WM_LBUTTONUP, 0, point_param(client_point));
}

void post_double_click(HWND window, POINT client_point) {
    post_click(window, client_point);
    post_checked(window, WM_LBUTTONDBLCLK, MK_LBUTTON, point_param(client_point));
    post_checked(window, WM_LBUTTONUP, 0, point_param(client_point));
}

void post_key(HWND window, UINT virtual_key) {
    post_checked(window, WM_KEYDOWN, virtual_key, key_param(virtual_key, false));
    // The key going down may end the window (Escape, Enter in a dialog) before its release is posted, on
    // a busy machine: then there is nothing left to release the key to, and the key has done its job.
    if (!PostMessageW(window, WM_KEYUP, virtual_key, key_param(virtual_key, true)) && IsWindow(window)) {
        throw ProbeError("PostMessage failed: " + std::to_string(GetLastError()));
    }
}

HWND focused_window(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (!GetGUIThreadInfo(thread, &info)) {
        throw ProbeError("GetGUIThreadInfo failed: " + std::to_string(GetLastError()));
    }
    return info.hwndFocus;
}

void type_character(HWND window, wchar_t character) {
    HWND focus = focused_window(window);
    if (!focus) {
        throw ProbeError("no window has the focus");
    }
    send_checked(focus, WM_CHAR, character, 1);
}

long long user_click_ms(HWND target, HWND watched, ULONGLONG timeout_ms) {
    if (!IsWindowVisible(target) || !IsWindowEnabled(target)) {
        throw ProbeError("control is hidden or disabled");
    }
    RECT rect{};
    GetWindowRect(target, &rect);
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (SendInput(2, input, sizeof(INPUT)) != 2) {
        throw ProbeError("SendInput failed: " + std::to_string(GetLastError()));
    }
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    while (IsWindowEnabled(watched)) {
        if (GetTickCount64() > deadline) {
            throw ProbeError("the watched control is still enabled");
        }
        Sleep(1);
    }
    QueryPerformanceCounter(&now);
    return (now.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart;
}
