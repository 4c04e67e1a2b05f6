// Commands about the device list (control 1000 of the target dialog): its rows, columns and colours,
// and mouse clicks on its rows.
#include "input_post.h"
#include "probe_commands.h"
#include "probe_error.h"
#include "probe_session.h"
#include "remote_list.h"
#include "text_codec.h"
#include "window_lookup.h"
#include "window_messages.h"

#include <commctrl.h>
#include <windows.h>

#include <cstdio>

namespace {

std::string color_text(LRESULT color) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06lx", static_cast<unsigned long>(color) & 0xFFFFFFul);
    return text;
}

Answer rows_command(ProbeSession& session, const CommandLine& command) {
    RemoteList list(session.target_list(command));
    int rows = list.item_count();
    int columns = list.column_count();
    Answer answer{std::to_string(rows), {}};
    for (int row = 0; row < rows; ++row) {
        std::string line;
        for (int column = 0; column < columns; ++column) {
            line += (column ? "\t" : "") + escape_value(list.item_text(row, column));
        }
        answer.extra_lines.push_back(line);
    }
    return answer;
}

int row_argument(const CommandLine& command) { return static_cast<int>(command.number(0)); }

// One row's cells, cheaper than "rows" when a test polls one row of a full list.
Answer row_command(ProbeSession& session, const CommandLine& command) {
    RemoteList list(session.target_list(command));
    int row = row_argument(command);
    if (row < 0 || row >= list.item_count())
        throw ProbeError("no row " + std::to_string(row));
    std::string line;
    for (int column = 0; column < list.column_count(); ++column)
        line += (column ? "\t" : "") + escape_value(list.item_text(row, column));
    return {line, {}};
}

Answer count_command(ProbeSession& session, const CommandLine& command) {
    return {std::to_string(RemoteList(session.target_list(command)).item_count()), {}};
}

Answer columns_command(ProbeSession& session, const CommandLine& command) {
    RemoteList list(session.target_list(command));
    int columns = list.column_count();
    Answer answer{std::to_string(columns), {}};
    for (int column = 0; column < columns; ++column) {
        answer.extra_lines.push_back(escape_value(list.column_title(column)) + "\t" +
                                     std::to_string(list.column_width(column)));
    }
    return answer;
}

// Background, text and text background colours, as COLORREF (0x00bbggrr).
Answer colors_command(ProbeSession& session, const CommandLine& command) {
    HWND list = session.target_list(command);
    return {color_text(send_checked(list, LVM_GETBKCOLOR)) + " " +
                color_text(send_checked(list, LVM_GETTEXTCOLOR)) + " " +
                color_text(send_checked(list, LVM_GETTEXTBKCOLOR)),
            {}};
}

Answer lvexstyle_command(ProbeSession& session, const CommandLine& command) {
    char text[16];
    std::snprintf(
        text, sizeof text, "0x%08lx",
        static_cast<unsigned long>(send_checked(session.target_list(command), LVM_GETEXTENDEDLISTVIEWSTYLE)));
    return {text, {}};
}

Answer selmark_command(ProbeSession& session, const CommandLine& command) {
    return {
        std::to_string(static_cast<int>(send_checked(session.target_list(command), LVM_GETSELECTIONMARK))),
        {}};
}

Answer selected_command(ProbeSession& session, const CommandLine& command) {
    HWND list = session.target_list(command);
    std::string rows;
    int row = -1;
    while ((row = static_cast<int>(
                send_checked(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED))) >= 0) {
        rows += (rows.empty() ? "" : " ") + std::to_string(row);
    }
    return {rows, {}};
}

// The centre of the visible part of a row, scrolled into view first as a user would.
POINT row_centre(HWND list, RemoteList& remote, int row) {
    int rows = remote.item_count();
    if (row < 0 || row >= rows) {
        throw ProbeError("no row " + std::to_string(row) + " (" + std::to_string(rows) + " rows)");
    }
    send_checked(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    RECT bounds = remote.item_rect(row, LVIR_BOUNDS);
    RECT client{}, visible{};
    GetClientRect(list, &client);
    if (!IntersectRect(&visible, &bounds, &client)) {
        throw ProbeError("row " + std::to_string(row) + " is not visible");
    }
    return {(visible.left + visible.right) / 2, (visible.top + visible.bottom) / 2};
}

Answer select_command(ProbeSession& session, const CommandLine& command) {
    HWND list = session.target_list(command);
    RemoteList remote(list);
    post_click(list, row_centre(list, remote, row_argument(command)));
    return {};
}

Answer dblclick_command(ProbeSession& session, const CommandLine& command) {
    HWND list = session.target_list(command);
    RemoteList remote(list);
    post_double_click(list, row_centre(list, remote, row_argument(command)));
    return {};
}

// A click that lands while the list fills: waits (here, without a round trip to the test) for the
// list's first row, clicks it so that <watched id> is enabled, then clicks <id> by the mouse and
// answers the milliseconds until <watched id> is disabled again.
Answer fillclick_command(ProbeSession& session, const CommandLine& command) {
    HWND list = session.target_list(command);
    HWND dialog = session.target_dialog(command);
    HWND target = child_by_id(dialog, static_cast<int>(command.number(0)));
    HWND watched = child_by_id(dialog, static_cast<int>(command.number(1)));
    const auto timeout_ms = static_cast<ULONGLONG>(command.number(2));
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    RemoteList remote(list);
    auto wait = [&](auto ready, const char* what) {
        while (!ready()) {
            if (GetTickCount64() > deadline) {
                throw ProbeError(std::string("timeout waiting for ") + what);
            }
            Sleep(1);
        }
    };
    wait([&] { return remote.item_count() > 0; }, "a row");
    post_click(list, row_centre(list, remote, 0));
    wait([&] { return IsWindowEnabled(watched) != FALSE; }, "the watched control to be enabled");
    return {std::to_string(user_click_ms(target, watched, timeout_ms)), {}};
}

// A click on the list below its last row (or below the header when it has none).
Answer clickempty_command(ProbeSession& session, const CommandLine& command) {
    HWND list = session.target_list(command);
    RemoteList remote(list);
    RECT client{};
    GetClientRect(list, &client);
    int rows = remote.item_count();
    int y = remote.header_height() + 8;
    if (rows > 0) {
        RECT last = remote.item_rect(rows - 1, LVIR_BOUNDS);
        y = last.bottom + (last.bottom - last.top) / 2;
    }
    if (y >= client.bottom) {
        throw ProbeError("no empty area below the rows");
    }
    post_click(list, {client.right > 10 ? 10 : client.right / 2, y});
    return {};
}

// The height of row 0, which the list takes from its font.
Answer rowheight_command(ProbeSession& session, const CommandLine& command) {
    RemoteList list(session.target_list(command));
    if (list.item_count() == 0)
        throw ProbeError("no row 0");
    RECT bounds = list.item_rect(0, LVIR_BOUNDS);
    return {std::to_string(bounds.bottom - bounds.top), {}};
}

// What a text takes in the list's font, which every child of the main window shares: with the
// controls' rectangles it shows whether a caption or column title fits.
Answer textwidth_command(ProbeSession& session, const CommandLine& command) {
    return {std::to_string(RemoteList(session.target_list(command)).string_width(command.joined(0))), {}};
}

constexpr CommandEntry kCommands[] = {
    {L"rows", rows_command, "rows                             -> ok <n>, then <col0>\\t<col1>\\t<col2>"},
    {L"row", row_command, "row <row>                        -> ok <col0>\\t<col1>\\t<col2>"},
    {L"count", count_command, "count                            -> ok <rows>"},
    {L"columns", columns_command, "columns                          -> ok <n>, then <title>\\t<width>"},
    {L"rowheight", rowheight_command, "rowheight                        -> ok <pixel height of row 0>"},
    {L"textwidth", textwidth_command,
     "textwidth <text>                 -> ok <pixel width in the list's font>"},
    {L"colors", colors_command, "colors                           -> ok <bk> <text> <textbk> (0x00bbggrr)"},
    {L"lvexstyle", lvexstyle_command, "lvexstyle                        -> ok 0x<list view extended style>"},
    {L"selmark", selmark_command, "selmark                          -> ok <selection mark>"},
    {L"selected", selected_command, "selected                         -> ok <selected rows>"},
    {L"select", select_command, "select <row>                     mouse click on the row's centre"},
    {L"dblclick", dblclick_command, "dblclick <row>                   double click on the row"},
    {L"fillclick", fillclick_command,
     "fillclick <id> <watched id> <ms>  first row listed: select it, mouse click <id> -> ok <ms until "
     "disabled>"},
    {L"clickempty", clickempty_command, "clickempty                       click below the last row"},
};

} // namespace

std::span<const CommandEntry> list_commands() { return kCommands; }
