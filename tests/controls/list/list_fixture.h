#pragma once
// The two ways the device list comes to be: bound to an existing list view as the main window's
// template control is, and made with Create, which turns on owner drawing.
#include <memory>

#include <gtest/gtest.h>

#include "gdi.h"
#include "list_test_support.h"

constexpr UINT kListId = 1000;
constexpr int kColumnWidths[] = {80, 180, 190};

// A report list as the main window sets it up: its template style, a font, full-row selection, white
// text on black and the three device columns, with `rows` rows. A spy sits under CMyListCtrl.
class BoundListTest : public ::testing::Test {
  protected:
    void SetUp() override;
    // Makes a bound list of another style in the same host (the fixture's own list stays).
    HWND MakeRawList(DWORD style, int id) const;
    // What reached the list view or the parent since the last call.
    ListEventLog TakeEvents();

    static constexpr int kRows = 3;
    ListEventLog m_log;
    HostWindow m_host{m_log};
    CFont m_font;
    ProbeList m_list;
    std::unique_ptr<ListViewSpy> m_spy;
};

// A list made with Create, so it draws its own rows, in colours that tell fills apart.
class CreatedListTest : public ::testing::Test {
  protected:
    static constexpr COLORREF kTextBk = RGB(0, 0, 0x80);
    static constexpr COLORREF kListBk = RGB(0, 0x60, 0);
    void SetUp() override;
    void CreateList(DWORD style);
    // A point in row `item` right of every column, where only the row's widened fill can reach.
    POINT StripPoint(int item) const;
    // A point in row `item` inside the last column, clear of its short text.
    POINT CellFillPoint(int item) const;

    ListEventLog m_log;
    HostWindow m_host{m_log};
    HWND m_hOther = nullptr; // a sibling that can take the focus
    ProbeList m_list;
};

// Adds the device columns and `rows` rows with short texts.
void FillDeviceColumns(const CListCtrl& list, int rows);
CFont MakeFont(int height);
