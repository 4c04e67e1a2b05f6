// Lists made with Create: owner-drawn report rows, their height and their fills.
#include <cstdlib>

#include "list_fixture.h"

namespace {
void SetRowState(const CListCtrl& list, int item, UINT state, UINT mask) {
    LVITEMW lvi{};
    lvi.state = state;
    lvi.stateMask = mask;
    list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi));
}

int RowHeight(const CListCtrl& list) {
    RECT bounds{};
    list.GetItemRect(0, &bounds, LVIR_BOUNDS);
    return bounds.bottom - bounds.top;
}

// Whether any pixel of `rect` in `wnd` has exactly `color`.
bool ShowsColour(HWND wnd, const RECT& rect, COLORREF color) {
    ::UpdateWindow(wnd);
    HDC dc = ::GetDC(wnd);
    bool found = false;
    for (int y = rect.top; y < rect.bottom && !found; ++y)
        for (int x = rect.left; x < rect.right && !found; ++x)
            found = ::GetPixel(dc, x, y) == color;
    ::ReleaseDC(wnd, dc);
    return found;
}

TEST_F(CreatedListTest, IsAnOwnerDrawnReportWhateverViewWasAsked) {
    for (DWORD view : {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT}) {
        SCOPED_TRACE(testing::Message() << "asked view " << view);
        ProbeList list;
        RECT rect{10, 10, 200, 200};
        ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | view, rect, &m_host, kListId + 1));
        const DWORD style = list.GetStyle();
        EXPECT_EQ(style & LVS_TYPEMASK, static_cast<DWORD>(LVS_REPORT));
        EXPECT_NE(style & LVS_OWNERDRAWFIXED, 0u);
        EXPECT_TRUE(list.m_bFullRow);
        ::DestroyWindow(list);
    }
}

TEST_F(CreatedListTest, RowsAreAsHighAsTheFont) {
    CreateList(0);
    FillDeviceColumns(m_list, 2);
    for (int height : {-11, -20}) {
        CFont font = MakeFont(height);
        m_list.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(font)), TRUE);
        EXPECT_EQ(RowHeight(m_list), -height);
    }
    m_list.SendMessage(WM_SETFONT, 0, FALSE);
}

TEST_F(CreatedListTest, WithoutAFontRowsFitTheDefaultGuiFont) {
    HWND raw = ::CreateWindowExW(0, WC_LISTVIEWW, nullptr, WS_CHILD | LVS_REPORT | LVS_OWNERDRAWFIXED, 0, 0,
                                 200, 100, m_host, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ListViewSpy spy(raw, m_log);
    spy.m_bHideFont = true;
    ASSERT_TRUE(m_list.SubclassWindow(raw));
    LOGFONTW guiFont{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof guiFont, &guiFont);
    ASSERT_NE(guiFont.lfHeight, 0);

    MEASUREITEMSTRUCT mis{};
    mis.CtlType = ODT_LISTVIEW;
    mis.itemHeight = 99;
    m_list.MeasureItem(&mis);
    EXPECT_EQ(mis.itemHeight, static_cast<UINT>(std::abs(guiFont.lfHeight)));
}

// Rows 0 selected, 1 drop-highlighted, 2 plain, in a list without LVS_SHOWSELALWAYS.
class OwnerDrawnFillTest : public CreatedListTest {
  protected:
    void SetUp() override {
        CreatedListTest::SetUp();
        CreateList(0);
        m_font = MakeFont(-13);
        m_list.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(m_font)), TRUE);
        FillDeviceColumns(m_list, 3);
        m_list.SetBkColor(kListBk);
        m_list.SetTextBkColor(kTextBk);
        m_list.SetTextColor(kText);
        SetRowState(m_list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        SetRowState(m_list, 1, LVIS_DROPHILITED, LVIS_DROPHILITED);
        ::SetFocus(m_hOther);
        m_list.Invalidate();
        PumpMessages();
    }
    void ExpectRowFill(int item, COLORREF color) const {
        EXPECT_EQ(PixelAt(m_list, CellFillPoint(item)), color) << "row " << item << " inside the columns";
        EXPECT_EQ(PixelAt(m_list, StripPoint(item)), color) << "row " << item << " right of the columns";
    }
    // The text area of column 1 in row `item`.
    RECT TextCell(int item) const {
        RECT cell{};
        cell.top = 1;
        cell.left = LVIR_BOUNDS;
        m_list.SendMessage(LVM_GETSUBITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
        return cell;
    }

    static constexpr COLORREF kText = RGB(0xFF, 0xFF, 0);
    CFont m_font;
};

TEST_F(OwnerDrawnFillTest, UnfocusedSelectionShowsNoHighlightButDropTargetDoes) {
    ASSERT_NE(::GetFocus(), m_list.m_hWnd);
    ExpectRowFill(0, kTextBk);
    ExpectRowFill(1, m_list.m_crHighlight);
    ExpectRowFill(2, kTextBk);
}

TEST_F(OwnerDrawnFillTest, FocusChangesRepaintTheSelectedRow) {
    m_list.SetFocus();
    ExpectRowFill(0, m_list.m_crHighlight);
    ::SetFocus(m_hOther);
    ExpectRowFill(0, kTextBk);
    m_list.SetFocus();
    ExpectRowFill(0, m_list.m_crHighlight);
    ExpectRowFill(2, kTextBk);
}

TEST_F(OwnerDrawnFillTest, StaleStripRightOfTheColumnsIsRepaintedWithTheRowFill) {
    RECT client{};
    m_list.GetClientRect(&client);
    RECT lastRow{};
    m_list.GetItemRect(2, &lastRow, LVIR_BOUNDS);
    RECT strip{lastRow.right, 0, client.right, lastRow.bottom};
    HDC dc = ::GetDC(m_list);
    CBrush stale(RGB(0xFF, 0, 0));
    ::FillRect(dc, &strip, stale);
    ::ReleaseDC(m_list, dc);

    m_list.InvalidateRect(&strip, FALSE);
    EXPECT_EQ(PixelAt(m_list, StripPoint(1)), m_list.m_crHighlight);
    EXPECT_EQ(PixelAt(m_list, StripPoint(2)), kTextBk);
}

TEST_F(OwnerDrawnFillTest, HighlightedTextUsesTheSystemsHighlightTextColour) {
    const COLORREF highlightText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    ASSERT_NE(highlightText, kText);
    EXPECT_TRUE(ShowsColour(m_list, TextCell(1), highlightText));
    EXPECT_FALSE(ShowsColour(m_list, TextCell(1), kText));
    EXPECT_TRUE(ShowsColour(m_list, TextCell(2), kText));
}
} // namespace
