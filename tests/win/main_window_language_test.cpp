// The main window in each desktop language: the captions read back as the right wide text whatever
// the system's code page, and Japanese alone switches the font to the Shift-JIS character set.
#include <gtest/gtest.h>

#include <string>

#include "main_window_harness.h"
#include "resource.h"

namespace {

std::wstring Text(HWND hWnd) {
    wchar_t buffer[128] = {};
    ::GetWindowTextW(hWnd, buffer, 128);
    return buffer;
}

std::wstring ColumnTitle(HWND list, int col) {
    wchar_t title[64] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = title;
    column.cchTextMax = 64;
    ::SendMessageW(list, LVM_GETCOLUMNW, col, reinterpret_cast<LPARAM>(&column));
    return title;
}

struct LanguageCase {
    int country;
    const wchar_t* exit;
    const wchar_t* config;
    const wchar_t* ipTitle;
    BYTE charSet;
};

class MainWindowLanguage : public ::testing::TestWithParam<LanguageCase> {};

} // namespace

TEST_P(MainWindowLanguage, CaptionsAndFontFollowTheCountry) {
    const LanguageCase& c = GetParam();
    test::CountryScope scope(c.country);
    test::MainWindowRun run;
    ASSERT_NE(run.Window(), nullptr);
    EXPECT_EQ(Text(run.Item(IDOK)), c.exit);
    EXPECT_EQ(Text(run.Item(IDC_CONFIG)), c.config);
    EXPECT_EQ(ColumnTitle(run.Item(IDC_DEVICE_LIST), 1), c.ipTitle);
    // The window caption is never translated.
    EXPECT_EQ(Text(run.Window()), L"Quillmast (V2.003)");

    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(run.Item(IDOK), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW lf{};
    ASSERT_NE(::GetObjectW(font, sizeof(lf), &lf), 0);
    EXPECT_EQ(lf.lfHeight, -11);
    EXPECT_EQ(lf.lfCharSet, c.charSet);
    EXPECT_STREQ(lf.lfFaceName, L"Arial");
    // Every child has the same font.
    EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(run.Item(IDC_DEVICE_LIST), WM_GETFONT, 0, 0)), font);
}

INSTANTIATE_TEST_SUITE_P(
    Countries, MainWindowLanguage,
    ::testing::Values(LanguageCase{1, L"Exit", L"Config", L"IP Address", DEFAULT_CHARSET},
                      LanguageCase{44, L"Exit", L"Config", L"IP Address", DEFAULT_CHARSET},
                      LanguageCase{49, L"Exit", L"Config", L"IP Address", DEFAULT_CHARSET},
                      LanguageCase{886, L"離開", L"設定", L"IP 位址", DEFAULT_CHARSET},
                      LanguageCase{86, L"离开", L"设置", L" IP地址", DEFAULT_CHARSET},
                      LanguageCase{81, L"閉じる", L"セット", L" IPアドレス", SHIFTJIS_CHARSET},
                      LanguageCase{7, L"тесном", L"Установить ", L"IP Адрес", DEFAULT_CHARSET}),
    [](const ::testing::TestParamInfo<LanguageCase>& info) {
        return "Country" + std::to_string(info.param.country);
    });
