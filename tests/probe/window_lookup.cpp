#include "window_lookup.h"

#include "probe_error.h"
#include "text_codec.h"

#include <cstdio>

namespace {

constexpr DWORD kPollMs = 20;

struct Search {
    const std::wstring* caption;
    std::vector<DialogWindow> found;
};

std::wstring class_of(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// Top-level windows of other processes: GetWindowTextW reads the stored caption without sending a
// message, so a hung program cannot stall the search.
std::wstring caption_of(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

BOOL CALLBACK collect(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    if (!IsWindowVisible(window) || class_of(window) != L"#32770") {
        return TRUE;
    }
    std::wstring caption = caption_of(window);
    if (!search->caption || caption == *search->caption) {
        search->found.push_back({window, window_pid(window), caption});
    }
    return TRUE;
}

} // namespace

std::vector<DialogWindow> visible_dialogs(const std::wstring* caption) {
    Search search{caption, {}};
    EnumWindows(collect, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND find_dialog(const std::wstring& caption, DWORD pid) {
    std::vector<DialogWindow> found = visible_dialogs(&caption);
    for (const DialogWindow& dialog : found) {
        if (pid == 0 || dialog.pid == pid) {
            return dialog.hwnd;
        }
    }
    return found.empty() ? nullptr : found.front().hwnd;
}

HWND wait_for_dialog(const std::wstring& caption, DWORD pid, DWORD timeout_ms) {
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        if (HWND window = find_dialog(caption, pid)) {
            return window;
        }
        if (GetTickCount64() >= deadline) {
            return nullptr;
        }
        Sleep(kPollMs);
    }
}

bool wait_for_no_dialog(const std::wstring& caption, DWORD pid, DWORD timeout_ms) {
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        HWND window = find_dialog(caption, pid);
        if (!window || (pid != 0 && window_pid(window) != pid)) {
            return true;
        }
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(kPollMs);
    }
}

DWORD window_pid(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

HWND child_by_id(HWND dialog, int id) {
    HWND child = GetDlgItem(dialog, id);
    if (!child) {
        throw ProbeError("no control " + std::to_string(id) + " in \"" + to_utf8(caption_of(dialog)) + "\"");
    }
    return child;
}

std::wstring hex_handle(HWND window) {
    wchar_t text[32];
    std::swprintf(text, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}
