#pragma once

// The dialogs' font for the country's language (see lang/core/dialog_font_desc.h).

#include <windows.h>

#include "dpi.h"

// The character height is the design's 11 pixels at 96 DPI, scaled to `dpi`.
LOGFONTW LangDialogLogFont(int country, UINT dpi = kDesignDpi);

// The caller owns the font and deletes it with DeleteObject. Null if the font could not be created; the
// controls then keep the system font.
HFONT CreateLangDialogFont(int country, UINT dpi = kDesignDpi);
