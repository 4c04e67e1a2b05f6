#include "probe_commands.h"

namespace {

std::vector<std::span<const CommandEntry>> all_groups() {
    return {window_commands(), control_commands(), list_commands()};
}

} // namespace

const CommandHandler* find_command(const std::wstring& name) {
    for (std::span<const CommandEntry> group : all_groups()) {
        for (const CommandEntry& entry : group) {
            if (name == entry.name) {
                return &entry.handler;
            }
        }
    }
    return nullptr;
}

std::vector<std::string> command_usages() {
    std::vector<std::string> usages;
    for (std::span<const CommandEntry> group : all_groups()) {
        for (const CommandEntry& entry : group) {
            usages.push_back(entry.usage);
        }
    }
    usages.push_back("quit");
    return usages;
}
