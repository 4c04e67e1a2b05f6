// Commands about top-level windows: waiting for dialogs and message boxes, answering them, and
// checking that the program still serves its message queue.
#include "probe_commands.h"
#include "probe_error.h"
#include "probe_session.h"
#include "text_codec.h"
#include "window_lookup.h"
#include "window_messages.h"

#include <windows.h>

namespace {

// "<caption words...> <timeout_ms>"
std::wstring caption_before_timeout(const CommandLine& command) {
    if (command.count() < 2) {
        throw ProbeError("usage: " + to_utf8(command.name) + " <caption> <timeout_ms>");
    }
    return command.joined(0, 1);
}

DWORD timeout_at_end(const CommandLine& command) {
    return static_cast<DWORD>(command.number(command.count() - 1));
}

Answer wait_command(ProbeSession& session, const CommandLine& command) {
    std::wstring caption = caption_before_timeout(command);
    HWND window = wait_for_dialog(caption, session.preferred_pid(), timeout_at_end(command));
    if (!window) {
        throw ProbeError("timeout waiting for \"" + to_utf8(caption) + "\"");
    }
    return {to_utf8(hex_handle(window)), {}};
}

Answer gone_command(ProbeSession& session, const CommandLine& command) {
    std::wstring caption = caption_before_timeout(command);
    if (!wait_for_no_dialog(caption, session.preferred_pid(), timeout_at_end(command))) {
        throw ProbeError("timeout: \"" + to_utf8(caption) + "\" is still there");
    }
    return {};
}

Answer windows_command(ProbeSession&, const CommandLine& command) {
    std::wstring caption = command.joined(0);
    std::vector<DialogWindow> found = visible_dialogs(command.count() ? &caption : nullptr);
    Answer answer{std::to_string(found.size()), {}};
    for (const DialogWindow& dialog : found) {
        answer.extra_lines.push_back(to_utf8(hex_handle(dialog.hwnd)) + "\t" + std::to_string(dialog.pid) +
                                     "\t" + escape_value(dialog.caption));
    }
    return answer;
}

Answer use_command(ProbeSession& session, const CommandLine& command) {
    if (command.count() == 0) {
        session.pin(nullptr);
        return {};
    }
    auto window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(command.number(0)));
    if (!IsWindow(window)) {
        throw ProbeError("no such window");
    }
    session.pin(window);
    return {};
}

Answer pid_command(ProbeSession& session, const CommandLine& command) {
    return {std::to_string(window_pid(session.target_dialog(command))), {}};
}

Answer ping_command(ProbeSession& session, const CommandLine& command) {
    HWND window = session.target_dialog(command);
    auto timeout = static_cast<UINT>(command.count() ? command.number(0) : kSendTimeoutMs);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeout, &result)) {
        throw ProbeError("timeout");
    }
    QueryPerformanceCounter(&end);
    return {std::to_string((end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart), {}};
}

Answer msgbox_command(ProbeSession& session, const CommandLine& command) {
    std::wstring caption = caption_before_timeout(command);
    HWND box = wait_for_dialog(caption, session.preferred_pid(), timeout_at_end(command));
    if (!box) {
        throw ProbeError("timeout waiting for a message box \"" + to_utf8(caption) + "\"");
    }
    HWND text = GetDlgItem(box, 0xFFFF);
    if (!text) {
        throw ProbeError("\"" + to_utf8(caption) + "\" has no message text");
    }
    return {escape_value(window_text(text)), {}};
}

Answer dismiss_command(ProbeSession& session, const CommandLine& command) {
    std::wstring caption = command.joined(0);
    HWND box = find_dialog(caption, session.preferred_pid());
    if (!box) {
        throw ProbeError("no window \"" + to_utf8(caption) + "\"");
    }
    post_checked(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return {};
}

Answer active_command(ProbeSession& session, const CommandLine& command) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(session.target_dialog(command), nullptr), &info) ||
        !info.hwndActive) {
        return {"none", {}};
    }
    wchar_t caption[512] = {};
    GetWindowTextW(info.hwndActive, caption, 512);
    return {to_utf8(hex_handle(info.hwndActive)) + " " + escape_value(caption), {}};
}

Answer title_command(ProbeSession& session, const CommandLine& command) {
    return {escape_value(window_text(session.target_dialog(command))), {}};
}

// The DPI the window is drawn at and its DPI awareness (0 unaware, 1 system, 2 per monitor), from
// functions of Windows 10 1607 on; "none" where the system lacks them.
Answer dpi_command(ProbeSession& session, const CommandLine& command) {
    HWND window = session.target_dialog(command);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    using DpiFunction = UINT(WINAPI*)(HWND);
    using ContextFunction = HANDLE(WINAPI*)(HWND);
    using AwarenessFunction = int(WINAPI*)(HANDLE);
    auto function = [user32](const char* name) {
        return reinterpret_cast<void (*)()>(GetProcAddress(user32, name));
    };
    auto dpi = reinterpret_cast<DpiFunction>(function("GetDpiForWindow"));
    auto context = reinterpret_cast<ContextFunction>(function("GetWindowDpiAwarenessContext"));
    auto awareness = reinterpret_cast<AwarenessFunction>(function("GetAwarenessFromDpiAwarenessContext"));
    if (!dpi || !context || !awareness)
        return {"none", {}};
    return {std::to_string(dpi(window)) + " " + std::to_string(awareness(context(window))), {}};
}

constexpr CommandEntry kCommands[] = {
    {L"wait", wait_command, "wait <caption> <timeout_ms>      -> ok <hwnd>"},
    {L"gone", gone_command, "gone <caption> <timeout_ms>"},
    {L"windows", windows_command,
     "windows [caption]                -> ok <n>, then <hwnd>\\t<pid>\\t<caption>"},
    {L"use", use_command, "use [hwnd]                       pin the main window (none: find it by caption)"},
    {L"pid", pid_command, "pid                              -> ok <process id>"},
    {L"ping", ping_command, "ping [timeout_ms]                -> ok <elapsed_ms> | err timeout"},
    {L"msgbox", msgbox_command, "msgbox <caption> <timeout_ms>    -> ok <message text>"},
    {L"dismiss", dismiss_command, "dismiss <caption>                IDOK to that window"},
    {L"active", active_command, "active                           -> ok <hwnd> <caption> | ok none"},
    {L"dpi", dpi_command, "dpi                              -> ok <window dpi> <awareness> | ok none"},
    {L"title", title_command, "title                            -> ok <caption of the dialog>"},
};

} // namespace

std::span<const CommandEntry> window_commands() { return kCommands; }
