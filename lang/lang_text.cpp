#include "lang/lang_text.h"

#include "lang/core/lang_table.h"

#include <windows.h>

#include <cstring>

std::wstring LangTextToWide(const char* text, int country) {
    if (text == nullptr || text[0] == '\0') {
        return {};
    }
    const UINT codePage = LangCodePageForTable(LangTableIdForCountry(country));
    const int length = static_cast<int>(std::strlen(text));
    const int wideLength = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
    if (wideLength <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(codePage, 0, text, length, wide.data(), wideLength);
    return wide;
}
