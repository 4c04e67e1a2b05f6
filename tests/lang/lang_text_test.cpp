// Captions as the user reads them: decoded with their table's code page whatever the system's ANSI code
// page is, and shown through the wide window functions.

#include "expected_lang_values.h"

#include "lang/lang_resource.h"
#include "lang/lang_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring FromUtf8(const char* text) {
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length) - 1);
    return wide;
}

std::wstring Caption(int country, const char* key) {
    char buffer[kCaptionCapacity];
    LoadLangStringFrom(GetModuleHandleW(nullptr), country, key, buffer, sizeof buffer);
    return LangTextToWide(buffer, country);
}

TEST(LangText, EveryCaptionDecodesExactly) {
    RecordProperty("AnsiCodePage", static_cast<int>(GetACP()));
    for (const ExpectedLangTable& expected : kExpectedLangTables) {
        for (const ExpectedCaption& caption : kExpectedCaptions) {
            EXPECT_EQ(Caption(expected.country, caption.key), FromUtf8(caption.values[expected.language]))
                << caption.key << " for country " << expected.country << ", ANSI code page " << GetACP();
        }
    }
}

TEST(LangText, ExitCaptionsAsWideLiterals) {
    EXPECT_EQ(Caption(81, "ID_EXIT"), L"閉じる");
    EXPECT_EQ(Caption(7, "ID_EXIT"), L"тесном");
    EXPECT_EQ(Caption(886, "ID_EXIT"), L"離開");
    EXPECT_EQ(Caption(86, "ID_EXIT"), L"离开");
    EXPECT_EQ(Caption(1, "ID_EXIT"), L"Exit");
}

TEST(LangText, EmptyOrNullTextGivesAnEmptyString) {
    EXPECT_EQ(LangTextToWide("", 81), L"");
    EXPECT_EQ(LangTextToWide(nullptr, 81), L"");
}

TEST(LangText, WideWindowShowsTheCaptionUnchanged) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 40, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    for (const ExpectedLangTable& expected : kExpectedLangTables) {
        for (const ExpectedCaption& expectedCaption : kExpectedCaptions) {
            const char* key = expectedCaption.key;
            const std::wstring caption = Caption(expected.country, key);
            ASSERT_TRUE(SetWindowTextW(window, caption.c_str()));
            wchar_t readBack[kCaptionCapacity] = {};
            GetWindowTextW(window, readBack, kCaptionCapacity);
            EXPECT_EQ(std::wstring(readBack), caption) << key << " for country " << expected.country;
        }
    }
    DestroyWindow(window);
}

} // namespace
