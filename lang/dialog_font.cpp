#include "lang/dialog_font.h"

#include "lang/core/dialog_font_spec.h"

LOGFONTW LangDialogLogFont(int country) {
    const DialogFontSpec spec = DialogFontSpecForCountry(country);
    LOGFONTW font{};
    font.lfHeight = spec.height;
    font.lfWeight = spec.weight;
    font.lfCharSet = spec.charSet;
    font.lfQuality = spec.quality;
    font.lfPitchAndFamily = spec.pitchAndFamily;
    // The face name is ASCII, so widening byte by byte is exact.
    for (int i = 0; i < LF_FACESIZE - 1 && spec.faceName[i] != '\0'; ++i) {
        font.lfFaceName[i] = static_cast<WCHAR>(spec.faceName[i]);
    }
    return font;
}

HFONT CreateLangDialogFont(int country) {
    const LOGFONTW font = LangDialogLogFont(country);
    return CreateFontIndirectW(&font);
}
