#include "window_messages.h"

#include "probe_error.h"

#include <vector>

LRESULT send_checked(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
        throw ProbeError("no answer to message 0x" + std::to_string(message) + " (program hung?)");
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
