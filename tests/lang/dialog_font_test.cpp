#include "lang/dialog_font.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace {

LOGFONTW CreatedFont(int country) {
    HFONT font = CreateLangDialogFont(country);
    LOGFONTW created{};
    EXPECT_NE(font, nullptr);
    EXPECT_EQ(GetObjectW(font, sizeof created, &created), static_cast<int>(sizeof created));
    DeleteObject(font);
    return created;
}

TEST(DialogFont, CreatedFontHasTheLanguagesLogFont) {
    for (int country : {81, 1, 886, 86, 7, 49, 44}) {
        SCOPED_TRACE("country " + std::to_string(country));
        const LOGFONTW font = CreatedFont(country);
        EXPECT_EQ(font.lfHeight, -11);
        EXPECT_EQ(font.lfWidth, 0);
        EXPECT_EQ(font.lfEscapement, 0);
        EXPECT_EQ(font.lfWeight, FW_NORMAL);
        EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
        EXPECT_EQ(font.lfCharSet, country == 81 ? SHIFTJIS_CHARSET : DEFAULT_CHARSET);
        EXPECT_EQ(font.lfOutPrecision, OUT_DEFAULT_PRECIS);
        EXPECT_EQ(font.lfClipPrecision, CLIP_DEFAULT_PRECIS);
        EXPECT_EQ(font.lfQuality, PROOF_QUALITY);
        EXPECT_EQ(font.lfPitchAndFamily, VARIABLE_PITCH | FF_ROMAN); // 18
        EXPECT_EQ(std::wstring(font.lfFaceName), L"Arial");
    }
}

} // namespace
