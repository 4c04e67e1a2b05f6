// The tables as the program finds them: through the Windows resource functions in its own module.

#include "expected_lang_values.h"

#include "lang/lang_resource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

HINSTANCE ThisModule() { return GetModuleHandleW(nullptr); }

TEST(LangResource, EachTableIsAnEnglishTxtResourceOfItsSize) {
    for (const ExpectedLangTable& expected : kExpectedLangTables) {
        SCOPED_TRACE("table " + std::to_string(expected.tableId));
        HRSRC resource = FindResourceExA(ThisModule(), "TXT", MAKEINTRESOURCEA(expected.tableId),
                                         MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        ASSERT_NE(resource, nullptr);
        EXPECT_EQ(SizeofResource(ThisModule(), resource), expected.size);
        EXPECT_EQ(LockLangTable(ThisModule(), expected.country).size(), expected.size);
    }
}

TEST(LangResource, CountryFindsItsTable) {
    for (const ExpectedLangTable& expected : kExpectedLangTables) {
        EXPECT_EQ(FindLangTableResource(ThisModule(), expected.country),
                  FindResourceA(ThisModule(), MAKEINTRESOURCEA(expected.tableId), "TXT"))
            << "country " << expected.country;
    }
    HRSRC english = FindResourceA(ThisModule(), MAKEINTRESOURCEA(130), "TXT");
    for (int country : {44, 0, 33, 999}) {
        EXPECT_EQ(FindLangTableResource(ThisModule(), country), english) << "country " << country;
    }
}

TEST(LangResource, GermanTableHoldsTheEnglishBytes) {
    const std::string_view german = LockLangTable(ThisModule(), 49);
    const std::string_view english = LockLangTable(ThisModule(), 1);
    EXPECT_EQ(german, english);
    EXPECT_NE(german.data(), english.data()); // two resources, not one found twice
}

TEST(LangResource, LookupCopiesTheTableBytesUnchanged) {
    char buffer[kCaptionCapacity];
    ASSERT_TRUE(LoadLangStringFrom(ThisModule(), 81, "ID_EXIT", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "\x95\xC2\x82\xB6\x82\xE9"); // Shift-JIS bytes of the Japanese "Exit"
    ASSERT_TRUE(LoadLangStringFrom(ThisModule(), 7, "ID_SET_IP", buffer, sizeof buffer));
    EXPECT_EQ(std::strlen(buffer), 11u); // the trailing blank stays
}

TEST(LangResource, MissingTableOrKeyGivesAnEmptyString) {
    char buffer[kCaptionCapacity] = "junk";
    // The system library holds no "TXT" resources at all.
    EXPECT_TRUE(LoadLangStringFrom(GetModuleHandleW(L"kernel32.dll"), 1, "ID_EXIT", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
    EXPECT_TRUE(LockLangTable(GetModuleHandleW(L"kernel32.dll"), 1).empty());

    std::strcpy(buffer, "junk");
    EXPECT_TRUE(LoadLangStringFrom(ThisModule(), 1, "ID_NO_SUCH_KEY", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
}

} // namespace
