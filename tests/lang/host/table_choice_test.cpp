#include "lang/core/dialog_font_spec.h"
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

TEST(DialogFontSpec, ShiftJisOnlyForJapan) {
    EXPECT_EQ(DialogFontSpecForCountry(81).charSet, 128);
    for (int country : {1, 886, 86, 7, 49, 44, 0}) {
        EXPECT_EQ(DialogFontSpecForCountry(country).charSet, 1) << "country " << country;
    }
}

TEST(DialogFontSpec, SameArialForEveryLanguage) {
    for (int country : {81, 1}) {
        const DialogFontSpec spec = DialogFontSpecForCountry(country);
        EXPECT_EQ(spec.height, -11);
        EXPECT_EQ(spec.weight, 400);
        EXPECT_EQ(spec.quality, 2);
        EXPECT_EQ(spec.pitchAndFamily, 18);
        EXPECT_STREQ(spec.faceName, "Arial");
    }
}

} // namespace
