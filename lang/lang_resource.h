#pragma once

// The language table of a country, read from a module's "TXT" resources. Nothing is cached: every call
// finds, loads and locks the resource anew, which costs little and keeps no state beside the country code.

#include <windows.h>

#include <string_view>

// The table chosen for the country, or null if the module does not hold it.
HRSRC FindLangTableResource(HINSTANCE module, int country);

// The table's bytes (not zero-terminated), or an empty view if the module does not hold the table. The view
// lives as long as the module stays loaded.
std::string_view LockLangTable(HINSTANCE module, int country);

// Writes the key's value from the country's table into the buffer as a zero-terminated string, the bytes
// unchanged in the table's code page (LangTextToWide turns them into text). A key or table that is missing
// gives an empty string; a capacity below 1 writes nothing. Always TRUE, so a caption lookup never stops
// the start-up.
BOOL LoadLangStringFrom(HINSTANCE module, int country, const char* key, char* buffer, int capacity);
