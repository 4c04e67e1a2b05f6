#pragma once

// The dialogs' font for the country's language (see lang/core/dialog_font_desc.h).

#include <windows.h>

LOGFONTW LangDialogLogFont(int country);

// The caller owns the font and deletes it with DeleteObject. Null if the font could not be created; the
// controls then keep the system font.
HFONT CreateLangDialogFont(int country);
