// The command table of the probe. The commands come in three groups, each in its own file: top-level
// windows, controls of a dialog, and the device list.
#pragma once

#include "command_line.h"

#include <span>
#include <string>
#include <vector>

class ProbeSession;

struct Answer {
    std::string value;                    // after "ok "
    std::vector<std::string> extra_lines; // lines that follow the "ok" line
};

using CommandHandler = Answer (*)(ProbeSession&, const CommandLine&);

struct CommandEntry {
    const wchar_t* name;
    CommandHandler handler;
    const char* usage;
};

std::span<const CommandEntry> window_commands();
std::span<const CommandEntry> control_commands();
std::span<const CommandEntry> list_commands();

const CommandHandler* find_command(const std::wstring& name);
std::vector<std::string> command_usages();
