// Alt+click label editing, and the cell hit test behind it.
#include "list_fixture.h"

namespace {
constexpr auto kParent = ListEvent::ParentNotify;
constexpr auto kListView = ListEvent::ListViewDone;

// The row of an LVM_EDITLABEL waiting in the queue for `list`, or -1; the request is taken out.
int TakePostedEditLabel(HWND list) {
    MSG msg;
    if (!::PeekMessageW(&msg, list, LVM_EDITLABELW, LVM_EDITLABELW, PM_REMOVE))
        return -1;
    return static_cast<int>(msg.wParam);
}

// Sends the button press itself, so that a request made during it is still queued afterwards.
void PressLeftButton(HWND list, POINT pt) {
    ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
}

TEST_F(BoundListTest, AltClickOnACellAsksToEditThatRowAndIsNotAClick) {
    for (BYTE altKey : {VK_LMENU, VK_RMENU}) {
        SCOPED_TRACE(altKey == VK_LMENU ? "left Alt" : "right Alt");
        ::SetFocus(m_host);
        {
            HeldKey alt(altKey);
            PressLeftButton(m_list, CellCentre(m_list, 2, 1));
        }
        EXPECT_EQ(TakePostedEditLabel(m_list), 2);
        EXPECT_EQ(::GetFocus(), m_list.m_hWnd);
        ListEventLog events = TakeEvents();
        EXPECT_EQ(CountEvents(events, kListView, WM_LBUTTONDOWN), 0);
        EXPECT_EQ(CountEvents(events, kParent, MLN_INPUT), 0);
        EXPECT_EQ(m_list.GetNextItem(-1, LVNI_SELECTED), -1);
    }
}

TEST_F(BoundListTest, AltClickOutsideTheCellsDoesNothing) {
    RECT lastRow{};
    m_list.GetItemRect(kRows - 1, &lastRow, LVIR_BOUNDS);
    const POINT belowLastRow{40, lastRow.bottom + 10};
    const POINT rightOfLastColumn{kColumnWidths[0] + kColumnWidths[1] + kColumnWidths[2] + 20,
                                  CellCentre(m_list, 0, 1).y};
    for (POINT pt : {belowLastRow, rightOfLastColumn}) {
        SCOPED_TRACE(testing::Message() << "at " << pt.x << "," << pt.y);
        ::SetFocus(m_host);
        {
            HeldKey alt(VK_LMENU);
            PressLeftButton(m_list, pt);
        }
        EXPECT_EQ(TakePostedEditLabel(m_list), -1);
        EXPECT_EQ(::GetFocus(), m_host.m_hWnd);
        ListEventLog events = TakeEvents();
        EXPECT_EQ(CountEvents(events, kListView, WM_LBUTTONDOWN), 0);
        EXPECT_EQ(CountEvents(events, kParent, MLN_INPUT), 0);
    }
}

TEST_F(BoundListTest, ColumnsAreFoundByDisplayOrder) {
    int order[] = {2, 0, 1};
    m_list.SendMessage(LVM_SETCOLUMNORDERARRAY, 3, reinterpret_cast<LPARAM>(order));

    EXPECT_EQ(m_list.GetColumnWidthByOrder(0), kColumnWidths[2]);
    EXPECT_EQ(m_list.GetColumnWidthByOrder(1), kColumnWidths[0]);
    EXPECT_EQ(m_list.GetColumnWidthByOrder(2), kColumnWidths[1]);
    EXPECT_EQ(m_list.GetColumnWidthByOrder(3), 0);

    const int y = CellCentre(m_list, 1, 0).y;
    int row = -2;
    int col = -2;
    EXPECT_TRUE(m_list.HitTestCell(POINT{kColumnWidths[2] - 1, y}, &row, &col));
    EXPECT_EQ(row, 1);
    EXPECT_EQ(col, 0);
    EXPECT_TRUE(m_list.HitTestCell(POINT{kColumnWidths[2], y}, &row, &col));
    EXPECT_EQ(col, 1);
    EXPECT_TRUE(m_list.HitTestCell(POINT{kColumnWidths[2] + kColumnWidths[0] + 5, y}, &row, &col));
    EXPECT_EQ(col, 2);
    EXPECT_FALSE(
        m_list.HitTestCell(POINT{kColumnWidths[0] + kColumnWidths[1] + kColumnWidths[2] + 5, y}, &row, &col));
    EXPECT_EQ(col, -1);
}

TEST_F(BoundListTest, CellHitTestFollowsSidewaysScrolling) {
    // Narrow enough that the device columns scroll.
    ::SetWindowPos(m_list, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    m_list.SendMessage(LVM_SCROLL, 100, 0);
    PumpMessages();
    RECT header{};
    ::GetWindowRect(m_list.GetHeaderCtrl(), &header);
    POINT headerOrigin{header.left, header.top};
    ::ScreenToClient(m_list, &headerOrigin);
    ASSERT_LT(headerOrigin.x, 0) << "the list did not scroll";

    int row = -2;
    int col = -2;
    // Column 0 is scrolled out of view here: the point lies in column 1.
    const int x = kColumnWidths[0] + headerOrigin.x + 40;
    ASSERT_GT(x, 0);
    EXPECT_TRUE(m_list.HitTestCell(POINT{x, CellCentre(m_list, 0, 1).y}, &row, &col));
    EXPECT_EQ(row, 0);
    EXPECT_EQ(col, 1);
}

TEST_F(BoundListTest, CellHitTestNeedsReportView) {
    ProbeList iconList;
    ASSERT_TRUE(iconList.SubclassWindow(MakeRawList(LVS_LIST, kListId + 1)));
    iconList.InsertColumn(0, L"No.", LVCFMT_LEFT, 80);
    iconList.InsertItem(0, L"1");
    RECT item{};
    iconList.GetItemRect(0, &item, LVIR_BOUNDS);
    int row = -2;
    int col = -2;
    EXPECT_FALSE(iconList.HitTestCell(POINT{item.left + 2, item.top + 2}, &row, &col));
    ::DestroyWindow(iconList);
}
} // namespace
