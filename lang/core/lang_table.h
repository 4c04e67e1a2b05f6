#pragma once

// The language tables: which one a desktop gets, the code page its text is in, and how a caption is found
// in it. Portable: the Windows side only supplies the table's bytes.

#include <cstddef>

// International telephone country codes, as the desktop reports them, that choose a table of their own.
constexpr int kCountryTaiwan = 886;
constexpr int kCountryChina = 86;
constexpr int kCountryJapan = 81;
constexpr int kCountryRussia = 7;
constexpr int kCountryGermany = 49;

// Resource ids of the tables (type "TXT").
constexpr int kLangTableEnglish = 130;
constexpr int kLangTableTraditionalChinese = 131;
constexpr int kLangTableSimplifiedChinese = 132;
constexpr int kLangTableJapanese = 133;
constexpr int kLangTableRussian = 134;
// German desktops get English, from a table that holds the same bytes as kLangTableEnglish.
constexpr int kLangTableGermany = 136;

int LangTableIdForCountry(int country);

// The Windows code page of a table's text. The English tables are plain ASCII; 1252 decodes that exactly and
// is present on every system. Ids that are not tables also get 1252.
unsigned LangCodePageForTable(int tableId);

// Finds the first occurrence of `key` in the `size` bytes at `table` (a plain byte search that never reads
// past the end: the text has no terminating zero) and copies its value into `buffer`. The value starts one
// byte after the key, that byte being skipped whatever it is (the "=" in a well-formed table), and runs to
// the first CR or LF, to the end of the table, or for capacity - 1 bytes, whichever comes first; a zero
// always follows it.
//
// Returns whether the key was found. When it was not (or the table is null or empty, or the key null or
// empty) the buffer holds an empty string: a blank caption is the safest thing to show, with no stale
// bytes from an earlier lookup and no key name in front of the user. A key found so near the end that
// nothing follows its separator byte has an empty value and counts as found. A null buffer or a capacity
// below 1 leaves no room even for the zero: nothing is written and the result is false.
bool LookupLangValue(const char* table, std::size_t size, const char* key, char* buffer, int capacity);
