#include "exact_bytes.h"

#include "lang/core/lang_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct Lookup {
    bool found;
    std::string value;
};

Lookup LookUp(std::string_view text, const char* key, int capacity = 64) {
    const std::vector<char> table = ExactBytes(text);
    std::vector<char> buffer(static_cast<std::size_t>(capacity), '#');
    const bool found = LookupLangValue(table.data(), table.size(), key, buffer.data(), capacity);
    return {found, std::string(buffer.data())};
}

TEST(LangLookup, ValueRunsToTheFirstCrOrLf) {
    EXPECT_EQ(LookUp("A=1\r\nID_WEB=WEB\r\nB=2\r\n", "ID_WEB").value, "WEB");
    EXPECT_EQ(LookUp("ID_WEB=WEB\nB=2\r\n", "ID_WEB").value, "WEB");
    EXPECT_EQ(LookUp("ID_WEB=W\rEB\r\n", "ID_WEB").value, "W");
}

TEST(LangLookup, LeadingAndTrailingBlanksAreKept) {
    EXPECT_EQ(LookUp("ID_IP_STR= IP \r\n", "ID_IP_STR").value, " IP ");
}

TEST(LangLookup, TheByteAfterTheKeyIsSkippedWhateverItIs) {
    EXPECT_EQ(LookUp("ID_EXIT:Exit\r\n", "ID_EXIT").value, "Exit");
    EXPECT_EQ(LookUp("ID_EXIT==Exit\r\n", "ID_EXIT").value, "=Exit");
}

TEST(LangLookup, FirstOccurrenceCountsEvenInsideAnotherKeyOrValue) {
    // "ID_OK" first occurs inside "ID_OK_STR": the "_" is skipped and the rest of that line is the value.
    EXPECT_EQ(LookUp("ID_OK_STR=OK\r\nID_OK=Yes\r\n", "ID_OK").value, "STR=OK");
    EXPECT_EQ(LookUp("NOTE=see ID_WEB!\r\nID_WEB=WEB\r\n", "ID_WEB").value, "");
    EXPECT_EQ(LookUp("NOTE=see ID_WEBsite\r\nID_WEB=WEB\r\n", "ID_WEB").value, "ite");
}

TEST(LangLookup, LongValueIsCutToCapacityLessOneAndTerminated) {
    const std::string longValue(100, 'x');
    const Lookup cut = LookUp("ID_LONG=" + longValue + "\r\n", "ID_LONG");
    EXPECT_TRUE(cut.found);
    EXPECT_EQ(cut.value, std::string(63, 'x'));

    const std::string exact(63, 'y');
    EXPECT_EQ(LookUp("ID_LONG=" + exact + "\r\n", "ID_LONG").value, exact);
    EXPECT_EQ(LookUp("ID_LONG=abc\r\n", "ID_LONG", 3).value, "ab");
    EXPECT_EQ(LookUp("ID_LONG=abc\r\n", "ID_LONG", 1).value, "");
}

TEST(LangLookup, NothingIsReadPastTheEndOfTheTable) {
    // Each table ends where its heap block ends; ASan fails the test on any read beyond it.
    EXPECT_EQ(LookUp("A=1\r\nID_EXIT=Exit", "ID_EXIT").value, "Exit");

    const Lookup separatorOnly = LookUp("A=1\r\nID_EXIT=", "ID_EXIT");
    EXPECT_TRUE(separatorOnly.found);
    EXPECT_EQ(separatorOnly.value, "");

    const Lookup bareKey = LookUp("A=1\r\nID_EXIT", "ID_EXIT");
    EXPECT_TRUE(bareKey.found);
    EXPECT_EQ(bareKey.value, "");

    EXPECT_FALSE(LookUp("A=1\r\nID_EX", "ID_EXIT").found);
}

TEST(LangLookup, BytesBeyondTheGivenSizeAreNotSearched) {
    const char text[] = "A=1\r\nID_EXIT=Exit\r\n";
    char buffer[64] = "junk";
    EXPECT_FALSE(LookupLangValue(text, std::strlen("A=1\r\n"), "ID_EXIT", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
}

TEST(LangLookup, MissingKeyOrTableGivesAnEmptyString) {
    const Lookup missing = LookUp("ID_EXIT=Exit\r\n", "ID_WEB");
    EXPECT_FALSE(missing.found);
    EXPECT_EQ(missing.value, "");

    char buffer[8] = "junk";
    EXPECT_FALSE(LookupLangValue(nullptr, 100, "ID_EXIT", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");

    std::strcpy(buffer, "junk");
    EXPECT_FALSE(LookupLangValue("ID_EXIT=Exit", 0, "ID_EXIT", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");

    std::strcpy(buffer, "junk");
    EXPECT_FALSE(LookupLangValue("ID_EXIT=Exit", 12, "", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(LookupLangValue("ID_EXIT=Exit", 12, nullptr, buffer, sizeof buffer));
}

TEST(LangLookup, NoCapacityWritesNothing) {
    char buffer[4] = "abc";
    EXPECT_FALSE(LookupLangValue("ID_EXIT=Exit", 12, "ID_EXIT", buffer, 0));
    EXPECT_FALSE(LookupLangValue("ID_EXIT=Exit", 12, "ID_EXIT", buffer, -5));
    EXPECT_STREQ(buffer, "abc");
    EXPECT_FALSE(LookupLangValue("ID_EXIT=Exit", 12, "ID_EXIT", nullptr, 64));
}

} // namespace
