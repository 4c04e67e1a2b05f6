#include "probe_session.h"

#include "probe_commands.h"
#include "probe_error.h"
#include "text_codec.h"
#include "window_lookup.h"

HWND ProbeSession::main_window() const {
    if (pinned_) {
        if (!IsWindow(pinned_)) {
            throw ProbeError("the window given to 'use' is gone");
        }
        return pinned_;
    }
    HWND window = find_dialog(main_caption_);
    if (!window) {
        throw ProbeError("no window \"" + to_utf8(main_caption_) + "\"");
    }
    return window;
}

DWORD ProbeSession::preferred_pid() const { return pinned_ && IsWindow(pinned_) ? window_pid(pinned_) : 0; }

HWND ProbeSession::target_dialog(const CommandLine& command) const {
    if (!command.in) {
        return main_window();
    }
    HWND window = find_dialog(*command.in, preferred_pid());
    if (!window) {
        throw ProbeError("no window \"" + to_utf8(*command.in) + "\"");
    }
    return window;
}

HWND ProbeSession::target_list(const CommandLine& command) const {
    return child_by_id(target_dialog(command), kDeviceListId);
}

std::vector<std::string> ProbeSession::run(const std::wstring& line, bool& quit) {
    try {
        CommandLine command = parse_command_line(line);
        if (command.name.empty()) {
            return {"err empty command"};
        }
        if (command.name == L"quit") {
            quit = true;
            return {"ok bye"};
        }
        const CommandHandler* handler = find_command(command.name);
        if (!handler) {
            return {"err unknown command: " + to_utf8(command.name)};
        }
        Answer answer = (*handler)(*this, command);
        std::vector<std::string> lines{"ok" + (answer.value.empty() ? "" : " " + answer.value)};
        lines.insert(lines.end(), answer.extra_lines.begin(), answer.extra_lines.end());
        return lines;
    } catch (const ProbeError& error) {
        return {std::string("err ") + error.what()};
    }
}
