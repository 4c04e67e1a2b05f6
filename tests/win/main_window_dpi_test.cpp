// The main window at the system's DPI (Wine's LogPixels: the end-to-end DPI test runs these at 96, 144
// and 192) and after WM_DPICHANGED, as when it is dragged to a monitor of another scale: the font, the
// columns and the row height are the design's figures times DPI / 96, the window takes the system's
// rectangle, and in every language each caption and column title fits.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "dpi.h"
#include "main_window_harness.h"
#include "resource.h"

namespace {

using namespace std::chrono_literals;

constexpr int kDesignFontHeight = -11;
constexpr int kDesignColumns[] = {80, 180, 190};
// What a push button and a header item keep free beside their text at 96 DPI.
constexpr int kButtonMargin = 3;
constexpr int kHeaderMargin = 6;

std::wstring Text(HWND hWnd) {
    wchar_t buffer[128] = {};
    ::GetWindowTextW(hWnd, buffer, 128);
    return buffer;
}

int FontHeight(HWND hWnd) {
    LOGFONTW lf{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(hWnd, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
    return lf.lfHeight;
}

int RowHeight(HWND list) {
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    ::SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&bounds));
    return bounds.bottom - bounds.top;
}

RECT ClientRectOf(HWND child, HWND dialog) {
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The figures at `dpi`, and that nothing is cut off; returns the row height.
int ExpectLaidOutFor(test::MainWindowRun& run, UINT dpi) {
    HWND list = run.Item(IDC_DEVICE_LIST);
    for (int id : {IDOK, IDC_CONFIG, IDC_REFRESH, IDC_WEB, IDC_DEVICE_LIST})
        EXPECT_EQ(FontHeight(run.Item(id)), ScaledForDpi(kDesignFontHeight, dpi)) << "control " << id;
    for (int col = 0; col < 3; ++col)
        EXPECT_EQ(::SendMessageW(list, LVM_GETCOLUMNWIDTH, col, 0), ScaledForDpi(kDesignColumns[col], dpi));

    HDC dc = ::GetDC(run.Window());
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(list, WM_GETFONT, 0, 0)));
    for (int id : {IDOK, IDC_CONFIG, IDC_REFRESH, IDC_WEB}) {
        const std::wstring caption = Text(run.Item(id));
        SIZE size{};
        ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
        RECT client{};
        ::GetClientRect(run.Item(id), &client);
        EXPECT_LE(size.cx + 2 * ScaledForDpi(kButtonMargin, dpi), client.right) << "button " << id;
        EXPECT_LE(size.cy, client.bottom) << "button " << id;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(run.Window(), dc);
    for (int col = 0; col < 3; ++col) {
        wchar_t title[64] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        column.pszText = title;
        column.cchTextMax = 64;
        ::SendMessageW(list, LVM_GETCOLUMNW, col, reinterpret_cast<LPARAM>(&column));
        const auto width = ::SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(title));
        EXPECT_LE(width + 2 * ScaledForDpi(kHeaderMargin, dpi),
                  ::SendMessageW(list, LVM_GETCOLUMNWIDTH, col, 0))
            << "column " << col;
    }
    const int row = RowHeight(list);
    const RECT client = ClientRectOf(list, run.Window());
    std::printf("figures: dpi %u font %d columns %d %d %d row %d list %ldx%ld\n", dpi, FontHeight(list),
                static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0)),
                static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0)),
                static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, 2, 0)), row,
                client.right - client.left, client.bottom - client.top);
    return row;
}

class MainWindowDpi : public ::testing::TestWithParam<int> {};

} // namespace

TEST_P(MainWindowDpi, ScalesItsFiguresAndFollowsADpiChange) {
    test::CountryScope scope(GetParam());
    test::MainWindowRun run;
    ASSERT_NE(run.Window(), nullptr);
    test::ReplySender send;
    send.Reply("198.51.100.30", 1);
    ASSERT_TRUE(test::WaitUntil([&] { return run.ListRowCount() == 1; }, 5s));

    const UINT systemDpi = WindowDpi(run.Window());
    const int systemRow = ExpectLaidOutFor(run, systemDpi);
    const RECT listAtStart = ClientRectOf(run.Item(IDC_DEVICE_LIST), run.Window());

    UINT current = systemDpi;
    for (UINT dpi : {192u, 144u, systemDpi}) {
        SCOPED_TRACE("WM_DPICHANGED to " + std::to_string(dpi));
        RECT window{};
        ::GetWindowRect(run.Window(), &window);
        // As the system suggests it: the same top left corner, the size in proportion.
        RECT suggested{window.left, window.top, 0, 0};
        suggested.right = window.left + ::MulDiv(window.right - window.left, dpi, current);
        suggested.bottom = window.top + ::MulDiv(window.bottom - window.top, dpi, current);
        ::SendMessageW(run.Window(), kWmDpiChanged, MAKEWPARAM(dpi, dpi),
                       reinterpret_cast<LPARAM>(&suggested));
        current = dpi;
        // Wine keeps the window's own DPI at the system's; the layout follows the message.
        ::GetWindowRect(run.Window(), &window);
        EXPECT_TRUE(::EqualRect(&window, &suggested));
        const int row = ExpectLaidOutFor(run, dpi);
        EXPECT_NEAR(row, ::MulDiv(systemRow, dpi, systemDpi), 1);
        const RECT list = ClientRectOf(run.Item(IDC_DEVICE_LIST), run.Window());
        EXPECT_NEAR(list.right, ::MulDiv(listAtStart.right, dpi, systemDpi), 1);
        EXPECT_NEAR(list.bottom, ::MulDiv(listAtStart.bottom, dpi, systemDpi), 1);
    }
    // Back at the system's DPI everything is where it started, not off by rounding.
    const RECT listAtEnd = ClientRectOf(run.Item(IDC_DEVICE_LIST), run.Window());
    EXPECT_TRUE(::EqualRect(&listAtEnd, &listAtStart));
}

// English, Traditional and Simplified Chinese, Japanese, Russian.
INSTANTIATE_TEST_SUITE_P(Languages, MainWindowDpi, ::testing::Values(1, 886, 86, 81, 7),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return "Country" + std::to_string(info.param);
                         });
