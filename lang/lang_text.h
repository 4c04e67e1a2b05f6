#pragma once

// The tables' 8-bit texts as UTF-16, decoded with the code page of the country's table rather than the
// system's ANSI code page, so a Japanese caption reads right on a Western desktop too. Callers show the
// result with the wide functions (SetWindowTextW, LVM_INSERTCOLUMNW) on windows created by the wide
// functions: an ANSI window turns CJK text set with SetWindowTextW into question marks.

#include <string>

// An empty string for a null or empty text.
std::wstring LangTextToWide(const char* text, int country);
