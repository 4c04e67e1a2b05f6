#include "lang/dialog_font.h"

#include "lang/core/dialog_font_desc.h"

#include "dpi.h"

LOGFONTW LangDialogLogFont(int country, UINT dpi) {
    const DialogFontDesc desc = DialogFontForCountry(country);
    LOGFONTW font{};
    font.lfHeight = ScaledForDpi(desc.height, dpi);
    font.lfWeight = desc.weight;
    font.lfCharSet = desc.charSet;
    font.lfQuality = desc.quality;
    font.lfPitchAndFamily = desc.pitchAndFamily;
    // The face name is ASCII, so widening byte by byte is exact.
    for (int i = 0; i < LF_FACESIZE - 1 && desc.faceName[i] != '\0'; ++i) {
        font.lfFaceName[i] = static_cast<WCHAR>(desc.faceName[i]);
    }
    return font;
}

HFONT CreateLangDialogFont(int country, UINT dpi) {
    const LOGFONTW font = LangDialogLogFont(country, dpi);
    return CreateFontIndirectW(&font);
}
