#include "lang/core/dialog_font_desc.h"
#include "lang/core/lang_table.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <cstring>

namespace {

TEST(LangTableChoice, EachListedCountryHasItsTable) {
    EXPECT_EQ(LangTableIdForCountry(886), 131);
    EXPECT_EQ(LangTableIdForCountry(86), 132);
    EXPECT_EQ(LangTableIdForCountry(81), 133);
    EXPECT_EQ(LangTableIdForCountry(7), 134);
    EXPECT_EQ(LangTableIdForCountry(49), 136);
}

TEST(LangTableChoice, EveryOtherCountryGetsEnglish) {
    for (int country : {1, 44, 0, -1, 33, 852, 8860, 130, 136}) {
        EXPECT_EQ(LangTableIdForCountry(country), 130) << "country " << country;
    }
}

TEST(LangTableChoice, CodePageOfEachTable) {
    EXPECT_EQ(LangCodePageForTable(130), 1252u);
    EXPECT_EQ(LangCodePageForTable(131), 950u);
    EXPECT_EQ(LangCodePageForTable(132), 936u);
    EXPECT_EQ(LangCodePageForTable(133), 932u);
    EXPECT_EQ(LangCodePageForTable(134), 1251u);
    EXPECT_EQ(LangCodePageForTable(136), 1252u);
}

TEST(DialogFontDesc, ShiftJisOnlyForJapan) {
    EXPECT_EQ(DialogFontForCountry(81).charSet, 128);
    for (int country : {1, 886, 86, 7, 49, 44, 0}) {
        EXPECT_EQ(DialogFontForCountry(country).charSet, 1) << "country " << country;
    }
}

TEST(DialogFontDesc, SameArialForEveryLanguage) {
    for (int country : {81, 1}) {
        const DialogFontDesc desc = DialogFontForCountry(country);
        EXPECT_EQ(desc.height, -11);
        EXPECT_EQ(desc.weight, 400);
        EXPECT_EQ(desc.quality, 2);
        EXPECT_EQ(desc.pitchAndFamily, 18);
        EXPECT_STREQ(desc.faceName, "Arial");
    }
}

} // namespace
