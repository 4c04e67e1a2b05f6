#include "lang/core/dialog_font_desc.h"

#include "lang/core/lang_table.h"

DialogFontDesc DialogFontForCountry(int country) {
    return DialogFontDesc{
        .height = -11,
        .weight = 400, // FW_NORMAL
        .charSet = country == kCountryJapan ? kShiftJisCharSet : kDefaultCharSet,
        .quality = 2, // PROOF_QUALITY
        // VARIABLE_PITCH (2) | FF_ROMAN (16), not FF_SWISS (32), although Arial is a sans-serif. 18 is the
        // fixed value; since a face name is given, font mapping picks the face by name before the family.
        .pitchAndFamily = 18,
        .faceName = "Arial",
    };
}
