// One command line of the probe's protocol: words separated by spaces, "double quotes" to keep spaces
// (\" and \\ inside them), and the option --in <caption> naming the dialog a command works on.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct CommandLine {
    std::wstring name;
    std::vector<std::wstring> words;
    std::optional<std::wstring> in;

    size_t count() const { return words.size(); }
    // Throws ProbeError when the word is missing or not a number (decimal or 0x hex).
    long long number(size_t index) const;
    // All words from `first` up to (not including) the last `keep_at_end` words, joined by spaces:
    // lets a caption be given with or without quotes.
    std::wstring joined(size_t first, size_t keep_at_end = 0) const;
};

CommandLine parse_command_line(const std::wstring& line);
bool parse_number(const std::wstring& word, long long& value);
