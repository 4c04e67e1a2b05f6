// The generated tables themselves: their bytes as the program will embed them, and every value decoded
// back from the table's code page to the caption the user should read.

#include "exact_bytes.h"
#include "expected_lang_values.h"

#include "lang/core/lang_table.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::vector<char> ReadTable(int tableId) {
    const std::string path = std::string(QM_LANG_TABLE_DIR) + "/lang_" + std::to_string(tableId) + ".txt";
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return ExactBytes(bytes);
}

// glibc names the Windows code pages "CP<number>", which also checks that each table's code page is right.
std::string DecodeToUtf8(const std::string& text, unsigned codePage) {
    const std::string charset = "CP" + std::to_string(codePage);
    iconv_t converter = iconv_open("UTF-8", charset.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "iconv cannot decode " << charset;
        return {};
    }
    std::string in = text;
    std::string out(text.size() * 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    const std::size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    EXPECT_NE(result, static_cast<std::size_t>(-1)) << "invalid " << charset << " text";
    out.resize(out.size() - outLeft);
    return out;
}

TEST(LangTableContent, SizesAndLineEnds) {
    for (const ExpectedLangTable& expected : kExpectedLangTables) {
        const std::vector<char> table = ReadTable(expected.tableId);
        const std::string text(table.begin(), table.end());
        SCOPED_TRACE("table " + std::to_string(expected.tableId));
        EXPECT_EQ(table.size(), expected.size);
        EXPECT_EQ(text.find('\0'), std::string::npos);
        ASSERT_GE(text.size(), 2u);
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
        std::size_t lines = 0;
        for (std::size_t at = 0; at < text.size(); ++at) {
            if (text[at] == '\n') {
                ++lines;
                EXPECT_EQ(text[at - 1], '\r') << "LF without CR at byte " << at;
            }
        }
        EXPECT_EQ(lines, kExpectedCaptions.size());
    }
}

TEST(LangTableContent, GermanTableHasTheEnglishBytes) { EXPECT_EQ(ReadTable(136), ReadTable(130)); }

TEST(LangTableContent, EveryKeyDecodesToItsCaption) {
    for (const ExpectedLangTable& expected : kExpectedLangTables) {
        const std::vector<char> table = ReadTable(expected.tableId);
        for (const ExpectedCaption& caption : kExpectedCaptions) {
            SCOPED_TRACE(std::string(caption.key) + " in table " + std::to_string(expected.tableId));
            char buffer[kCaptionCapacity];
            ASSERT_TRUE(LookupLangValue(table.data(), table.size(), caption.key, buffer, sizeof buffer));
            EXPECT_EQ(DecodeToUtf8(buffer, LangCodePageForTable(expected.tableId)),
                      caption.values[expected.language]);
        }
    }
}

} // namespace
