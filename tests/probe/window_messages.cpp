#include "window_messages.h"

#include "probe_error.h"

#include <cstdio>
#include <vector>

// Not SMTO_ABORTIFHUNG: Wine calls a thread hung when it has not asked for a message for 5 s, which is
// true of a worker thread that slept that long and has only just opened a message box. The time-out
// alone guards against a program that really does not answer.
LRESULT send_checked(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL, kSendTimeoutMs, &result)) {
        char number[16];
        std::snprintf(number, sizeof number, "0x%04x", message);
        throw ProbeError(std::string("no answer to message ") + number + " within " +
                         std::to_string(kSendTimeoutMs) + " ms (program hung?)");
    }
    return static_cast<LRESULT>(result);
}

void post_checked(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!PostMessageW(window, message, wparam, lparam)) {
        throw ProbeError("PostMessage failed: " + std::to_string(GetLastError()));
    }
}

std::wstring window_text(HWND window) {
    auto length = static_cast<size_t>(send_checked(window, WM_GETTEXTLENGTH));
    std::vector<wchar_t> buffer(length + 2, L'\0');
    auto copied = static_cast<size_t>(
        send_checked(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data())));
    return std::wstring(buffer.data(), copied < buffer.size() ? copied : buffer.size() - 1);
}

void set_window_text(HWND window, const std::wstring& text) {
    send_checked(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
