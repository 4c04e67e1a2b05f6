#include "lang/core/lang_table.h"

#include <cstring>
#include <string_view>

bool LookupLangValue(const char* table, std::size_t size, const char* key, char* buffer, int capacity) {
    if (buffer == nullptr || capacity < 1) {
        return false;
    }
    buffer[0] = '\0';
    if (table == nullptr || size == 0 || key == nullptr || key[0] == '\0') {
        return false;
    }

    const std::string_view text(table, size);
    const std::size_t match = text.find(key);
    if (match == std::string_view::npos) {
        return false;
    }

    std::size_t at = match + std::strlen(key) + 1; // skip the key and the byte after it
    const std::size_t room = static_cast<std::size_t>(capacity) - 1;
    std::size_t copied = 0;
    while (at < size && copied < room && text[at] != '\r' && text[at] != '\n') {
        buffer[copied++] = text[at++];
    }
    buffer[copied] = '\0';
    return true;
}
