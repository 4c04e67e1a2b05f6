#include "lang/core/lang_table.h"

int LangTableIdForCountry(int country) {
    switch (country) {
    case kCountryTaiwan:
        return kLangTableTraditionalChinese;
    case kCountryChina:
        return kLangTableSimplifiedChinese;
    case kCountryJapan:
        return kLangTableJapanese;
    case kCountryRussia:
        return kLangTableRussian;
    case kCountryGermany:
        return kLangTableGermany;
    default:
        return kLangTableEnglish;
    }
}

unsigned LangCodePageForTable(int tableId) {
    switch (tableId) {
    case kLangTableTraditionalChinese:
        return 950; // Big5
    case kLangTableSimplifiedChinese:
        return 936; // GBK
    case kLangTableJapanese:
        return 932; // Shift-JIS
    case kLangTableRussian:
        return 1251;
    default:
        return 1252;
    }
}
