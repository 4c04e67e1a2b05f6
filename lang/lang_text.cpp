#include "lang/lang_text.h"

#include "lang/core/lang_table.h"
#include "text.h"

std::wstring LangTextToWide(const char* text, int country) {
    return WidenText(text, LangCodePageForTable(LangTableIdForCountry(country)));
}
