#include "command_line.h"

#include "probe_error.h"
#include "text_codec.h"

#include <cwchar>

bool parse_number(const std::wstring& word, long long& value) {
    if (word.empty()) {
        return false;
    }
    wchar_t* end = nullptr;
    value = std::wcstoll(word.c_str(), &end, 0);
    return end && *end == L'\0';
}

long long CommandLine::number(size_t index) const {
    long long value = 0;
    if (index >= words.size()) {
        throw ProbeError("missing argument " + std::to_string(index + 1) + " of " + to_utf8(name));
    }
    if (!parse_number(words[index], value)) {
        throw ProbeError("not a number: " + to_utf8(words[index]));
    }
    return value;
}

std::wstring CommandLine::joined(size_t first, size_t keep_at_end) const {
    std::wstring text;
    for (size_t i = first; i + keep_at_end < words.size(); ++i) {
        if (!text.empty()) {
            text += L' ';
        }
        text += words[i];
    }
    return text;
}

namespace {

std::vector<std::wstring> split_words(const std::wstring& line) {
    std::vector<std::wstring> words;
    std::wstring word;
    bool in_word = false;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        wchar_t c = line[i];
        if (quoted) {
            if (c == L'\\' && i + 1 < line.size() && (line[i + 1] == L'"' || line[i + 1] == L'\\')) {
                word += line[++i];
            } else if (c == L'"') {
                quoted = false;
            } else {
                word += c;
            }
        } else if (c == L'"') {
            quoted = true;
            in_word = true;
        } else if (c == L' ' || c == L'\t') {
            if (in_word) {
                words.push_back(word);
                word.clear();
                in_word = false;
            }
        } else {
            word += c;
            in_word = true;
        }
    }
    if (quoted) {
        throw ProbeError("unterminated quote");
    }
    if (in_word) {
        words.push_back(word);
    }
    return words;
}

} // namespace

CommandLine parse_command_line(const std::wstring& line) {
    CommandLine command;
    std::vector<std::wstring> words = split_words(line);
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i] == L"--in") {
            if (i + 1 >= words.size()) {
                throw ProbeError("--in needs a caption");
            }
            command.in = words[++i];
        } else if (command.name.empty()) {
            command.name = words[i];
        } else {
            command.words.push_back(words[i]);
        }
    }
    return command;
}
