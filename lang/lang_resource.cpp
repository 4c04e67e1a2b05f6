#include "lang/lang_resource.h"

#include "lang/core/lang_table.h"

HRSRC FindLangTableResource(HINSTANCE module, int country) {
    return FindResourceA(module, MAKEINTRESOURCEA(LangTableIdForCountry(country)), "TXT");
}

std::string_view LockLangTable(HINSTANCE module, int country) {
    HRSRC resource = FindLangTableResource(module, country);
    if (resource == nullptr) {
        return {};
    }
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
        return {};
    }
    return {static_cast<const char*>(bytes), SizeofResource(module, resource)};
}

BOOL LoadLangStringFrom(HINSTANCE module, int country, const char* key, char* buffer, int capacity) {
    const std::string_view table = LockLangTable(module, country);
    LookupLangValue(table.data(), table.size(), key, buffer, capacity);
    return TRUE;
}
