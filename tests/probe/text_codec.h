// UTF-8 on the pipe, UTF-16 in the windows.
#pragma once

#include <string>

std::wstring from_utf8(const std::string& text);
std::string to_utf8(const std::wstring& text);

// Answers are one line each: backslash, tab, CR and LF inside a value are written as \\ \t \r \n,
// so a tab in a row answer always separates columns.
std::string escape_value(const std::wstring& text);
