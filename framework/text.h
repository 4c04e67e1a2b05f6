#pragma once
#include <string>

#include <windows.h>

// 8-bit text in a given code page as UTF-16, for the wide window functions: the texts then read
// right whatever the system's own code page is.
inline std::wstring WidenText(const char* text, UINT codePage) {
    if (text == nullptr || *text == '\0')
        return {};
    int n = ::MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, text, -1, wide.data(), n);
    wide.resize(static_cast<size_t>(n - 1));
    return wide;
}
