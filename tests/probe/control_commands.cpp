// Commands about the controls of one dialog (the main window, or the one named by --in): reading
// their state, and clicking, typing and pressing keys the way a user would.
#include "input_post.h"
#include "probe_commands.h"
#include "probe_error.h"
#include "probe_session.h"
#include "remote_buffer.h"
#include "text_codec.h"
#include "window_lookup.h"
#include "window_messages.h"

#include <commctrl.h>
#include <windows.h>

#include <cstdio>

namespace {

HWND control(ProbeSession& session, const CommandLine& command, size_t index = 0) {
    return child_by_id(session.target_dialog(command), static_cast<int>(command.number(index)));
}

std::string hex32(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", value);
    return text;
}

Answer text_command(ProbeSession& session, const CommandLine& command) {
    return {escape_value(window_text(control(session, command))), {}};
}

Answer settext_command(ProbeSession& session, const CommandLine& command) {
    set_window_text(control(session, command), command.joined(1));
    return {};
}

Answer enabled_command(ProbeSession& session, const CommandLine& command) {
    return {IsWindowEnabled(control(session, command)) ? "1" : "0", {}};
}

Answer visible_command(ProbeSession& session, const CommandLine& command) {
    return {IsWindowVisible(control(session, command)) ? "1" : "0", {}};
}

Answer style_command(ProbeSession& session, const CommandLine& command) {
    return {hex32(static_cast<unsigned long>(GetWindowLongPtrW(control(session, command), GWL_STYLE))), {}};
}

Answer exstyle_command(ProbeSession& session, const CommandLine& command) {
    return {hex32(static_cast<unsigned long>(GetWindowLongPtrW(control(session, command), GWL_EXSTYLE))), {}};
}

Answer rect_of(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {std::to_string(rect.left) + " " + std::to_string(rect.top) + " " + std::to_string(rect.right) +
                " " + std::to_string(rect.bottom),
            {}};
}

Answer rect_command(ProbeSession& session, const CommandLine& command) {
    return rect_of(control(session, command));
}

Answer dialogrect_command(ProbeSession& session, const CommandLine& command) {
    return rect_of(session.target_dialog(command));
}

// The control id of the dialog's child that holds the focus (or contains the window that does).
Answer focus_command(ProbeSession& session, const CommandLine& command) {
    HWND dialog = session.target_dialog(command);
    HWND focus = focused_window(dialog);
    if (!focus) {
        return {"none", {}};
    }
    if (focus == dialog) {
        return {"dialog", {}};
    }
    for (HWND window = focus; window; window = GetParent(window)) {
        if (GetParent(window) == dialog) {
            return {std::to_string(GetDlgCtrlID(window)), {}};
        }
    }
    return {"outside " + to_utf8(hex_handle(focus)), {}};
}

bool is_button(HWND window) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    return lstrcmpiW(name, L"Button") == 0;
}

// A user cannot click a disabled or hidden control, so neither can the probe. Buttons get BM_CLICK;
// other controls a mouse click at their centre, which also gives them the focus.
// A control a user could click: visible and enabled.
HWND clickable_control(ProbeSession& session, const CommandLine& command) {
    HWND target = control(session, command);
    if (!IsWindowVisible(target)) {
        throw ProbeError("control is hidden");
    }
    if (!IsWindowEnabled(target)) {
        throw ProbeError("control is disabled");
    }
    return target;
}

Answer click_command(ProbeSession& session, const CommandLine& command) {
    HWND target = clickable_control(session, command);
    if (is_button(target)) {
        post_checked(target, BM_CLICK);
    } else {
        RECT client{};
        GetClientRect(target, &client);
        post_click(target, {client.right / 2, client.bottom / 2});
    }
    return {};
}

// BM_CLICK sent, not posted: it answers once the program has handled the whole click, so what the
// click changed can be read at once. Only for a button that opens no window of its own.
Answer press_command(ProbeSession& session, const CommandLine& command) {
    HWND target = clickable_control(session, command);
    if (!is_button(target)) {
        throw ProbeError("control is not a button");
    }
    send_checked(target, BM_CLICK);
    return {};
}

// A user's mouse click, then how long until control <watched id> is disabled.
Answer userclick_command(ProbeSession& session, const CommandLine& command) {
    const auto ms = user_click_ms(control(session, command), control(session, command, 1),
                                  static_cast<ULONGLONG>(command.number(2)));
    return {std::to_string(ms), {}};
}

// WM_COMMAND straight to the dialog, as a menu or accelerator would send it.
Answer command_command(ProbeSession& session, const CommandLine& command) {
    HWND dialog = session.target_dialog(command);
    auto id = static_cast<int>(command.number(0));
    post_checked(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    return {};
}

Answer cancel_command(ProbeSession& session, const CommandLine& command) {
    post_checked(session.target_dialog(command), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return {};
}

UINT virtual_key(const std::wstring& word) {
    struct Named {
        const wchar_t* name;
        UINT key;
    };
    static constexpr Named kNames[] = {
        {L"escape", VK_ESCAPE}, {L"return", VK_RETURN}, {L"enter", VK_RETURN}, {L"tab", VK_TAB},
        {L"space", VK_SPACE},   {L"up", VK_UP},         {L"down", VK_DOWN},    {L"left", VK_LEFT},
        {L"right", VK_RIGHT},   {L"delete", VK_DELETE}, {L"back", VK_BACK},    {L"home", VK_HOME},
        {L"end", VK_END},
    };
    for (const Named& named : kNames) {
        if (word == named.name) {
            return named.key;
        }
    }
    long long value = 0;
    if (!parse_number(word, value) || value <= 0 || value > 0xFE) {
        throw ProbeError("not a virtual key: " + to_utf8(word));
    }
    return static_cast<UINT>(value);
}

// Where a key goes: the focused window (as from the keyboard), a control by id, or the dialog itself.
HWND key_target(ProbeSession& session, const CommandLine& command, size_t index) {
    HWND dialog = session.target_dialog(command);
    if (index >= command.count()) {
        HWND focus = focused_window(dialog);
        return focus ? focus : dialog;
    }
    if (command.words[index] == L"dialog") {
        return dialog;
    }
    return child_by_id(dialog, static_cast<int>(command.number(index)));
}

Answer key_command(ProbeSession& session, const CommandLine& command) {
    if (command.count() == 0) {
        throw ProbeError("usage: key <vk> [<id>|dialog]");
    }
    post_key(key_target(session, command, 1), virtual_key(command.words[0]));
    return {};
}

Answer escape_command(ProbeSession& session, const CommandLine& command) {
    post_key(key_target(session, command, 0), VK_ESCAPE);
    return {};
}

Answer chars_command(ProbeSession& session, const CommandLine& command) {
    HWND dialog = session.target_dialog(command);
    for (wchar_t character : command.joined(0)) {
        type_character(dialog, character);
    }
    return {};
}

Answer ipaddr_command(ProbeSession& session, const CommandLine& command) {
    HWND address_control = control(session, command);
    RemoteBuffer buffer(address_control, sizeof(DWORD));
    DWORD address = 0;
    buffer.write(&address, sizeof(address));
    auto filled = send_checked(address_control, IPM_GETADDRESS, 0, buffer.address());
    buffer.read(&address, sizeof(address));
    char text[40];
    std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu %d", FIRST_IPADDRESS(address),
                  SECOND_IPADDRESS(address), THIRD_IPADDRESS(address), FOURTH_IPADDRESS(address),
                  static_cast<int>(filled));
    return {text, {}};
}

Answer setipaddr_command(ProbeSession& session, const CommandLine& command) {
    HWND address_control = control(session, command);
    unsigned fields[4];
    char tail = 0;
    std::string text = command.count() > 1 ? to_utf8(command.words[1]) : "";
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &fields[0], &fields[1], &fields[2], &fields[3], &tail) !=
            4 ||
        fields[0] > 255 || fields[1] > 255 || fields[2] > 255 || fields[3] > 255) {
        throw ProbeError("usage: setipaddr <id> a.b.c.d");
    }
    send_checked(address_control, IPM_SETADDRESS, 0,
                 static_cast<LPARAM>(MAKEIPADDRESS(fields[0], fields[1], fields[2], fields[3])));
    return {};
}

int address_field(const CommandLine& command, size_t index) {
    long long field = command.number(index);
    if (field < 0 || field > 3) {
        throw ProbeError("a field of an address control is 0 to 3");
    }
    return static_cast<int>(field);
}

// Empties one field of an address control as a user does: the field is given the focus with its text
// selected (the control's own IPM_SETFOCUS, by its own field number), then the Delete key removes it.
Answer ipclear_command(ProbeSession& session, const CommandLine& command) {
    HWND address_control = control(session, command);
    send_checked(address_control, IPM_SETFOCUS, static_cast<WPARAM>(address_field(command, 1)));
    HWND field = focused_window(address_control);
    if (!field || GetParent(field) != address_control) {
        throw ProbeError("the field did not take the focus");
    }
    post_key(field, VK_DELETE);
    ULONGLONG deadline = GetTickCount64() + kSendTimeoutMs;
    while (!window_text(field).empty()) {
        if (GetTickCount64() >= deadline) {
            throw ProbeError("the field kept its text");
        }
        Sleep(10);
    }
    return {};
}

// The field of an address control that has the focus, counted from the left, or none.
Answer ipfocus_command(ProbeSession& session, const CommandLine& command) {
    HWND address_control = control(session, command);
    HWND focus = focused_window(address_control);
    if (!focus || GetParent(focus) != address_control) {
        return {"none", {}};
    }
    RECT focus_rect{};
    GetWindowRect(focus, &focus_rect);
    int field = 0;
    for (HWND child = GetWindow(address_control, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect{};
        GetWindowRect(child, &rect);
        field += rect.left < focus_rect.left ? 1 : 0;
    }
    return {std::to_string(field), {}};
}

constexpr CommandEntry kCommands[] = {
    {L"text", text_command, "text <id>                        -> ok <text>"},
    {L"settext", settext_command, "settext <id> <text>"},
    {L"enabled", enabled_command, "enabled <id>                     -> ok 1|0"},
    {L"visible", visible_command, "visible <id>                     -> ok 1|0"},
    {L"style", style_command, "style <id>                       -> ok 0x<style>"},
    {L"exstyle", exstyle_command, "exstyle <id>                     -> ok 0x<extended style>"},
    {L"rect", rect_command, "rect <id>                        -> ok <left> <top> <right> <bottom> (screen)"},
    {L"dialogrect", dialogrect_command,
     "dialogrect                       -> ok <left> <top> <right> <bottom> (screen)"},
    {L"focus", focus_command, "focus                            -> ok <id>|dialog|none|outside <hwnd>"},
    {L"click", click_command, "click <id>                       BM_CLICK, or a mouse click on a non-button"},
    {L"press", press_command, "press <id>                       BM_CLICK sent: returns once it is handled"},
    {L"userclick", userclick_command,
     "userclick <id> <watched id> <ms>  mouse click by SendInput -> ok <ms until <watched id> is disabled>"},
    {L"command", command_command, "command <id>                     WM_COMMAND <id> to the dialog"},
    {L"cancel", cancel_command, "cancel                           WM_COMMAND IDCANCEL to the dialog"},
    {L"key", key_command, "key <vk|name> [<id>|dialog]      key down+up to the focus (or that window)"},
    {L"escape", escape_command, "escape [<id>|dialog]             the Escape key, as key"},
    {L"chars", chars_command, "chars <text>                     WM_CHAR per character to the focus"},
    {L"ipaddr", ipaddr_command, "ipaddr <id>                      -> ok a.b.c.d <non-blank fields>"},
    {L"setipaddr", setipaddr_command, "setipaddr <id> a.b.c.d           IPM_SETADDRESS"},
    {L"ipclear", ipclear_command, "ipclear <id> <field>             empty a field: focus it, then Delete"},
    {L"ipfocus", ipfocus_command,
     "ipfocus <id>                     -> ok <field with the focus, from the left>|none"},
};

} // namespace

std::span<const CommandEntry> control_commands() { return kCommands; }
