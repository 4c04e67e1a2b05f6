#pragma once

// The font every child of the dialogs gets: the same Arial for every language, with the Shift-JIS
// character set for Japanese so that font mapping picks a face that has the Japanese glyphs.
// Plain numbers, so the Windows side fills a LOGFONT from it; every field not listed here is zero.

struct DialogFontDesc {
    int height;                   // lfHeight; negative: the character height in pixels
    int weight;                   // lfWeight
    unsigned char charSet;        // lfCharSet
    unsigned char quality;        // lfQuality
    unsigned char pitchAndFamily; // lfPitchAndFamily
    const char* faceName;         // lfFaceName, ASCII
};

constexpr unsigned char kDefaultCharSet = 1;    // DEFAULT_CHARSET: the system's own
constexpr unsigned char kShiftJisCharSet = 128; // SHIFTJIS_CHARSET

DialogFontDesc DialogFontForCountry(int country);
