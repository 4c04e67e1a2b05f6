// What a click, a key, a double click and a drag do to the bound device list and its parent.
#include "list_fixture.h"

namespace {
constexpr auto kParent = ListEvent::ParentNotify;
constexpr auto kListView = ListEvent::ListViewDone;

TEST_F(BoundListTest, PlainClickNotifiesParentOnceAfterTheListViewSelected) {
    Click(m_list, CellCentre(m_list, 1, 1));
    ListEventLog events = TakeEvents();

    ASSERT_EQ(CountEvents(events, kParent, MLN_INPUT), 1);
    const int input = FindEvent(events, kParent, MLN_INPUT);
    EXPECT_EQ(events[input].code, 0x1000u);
    EXPECT_EQ(events[input].idFrom, kListId);
    EXPECT_EQ(events[input].focusedItem, 1) << "the list view had not taken the click yet";
    EXPECT_LT(FindEvent(events, kListView, WM_LBUTTONDOWN), input);
    EXPECT_EQ(CountEvents(events, kParent, NM_CLICK), 1);
    EXPECT_EQ(m_list.GetSelectionMark(), 1);
}

TEST_F(BoundListTest, EveryKeyPressNotifiesParentAfterTheListViewHandledIt) {
    Click(m_list, CellCentre(m_list, 0, 1));
    TakeEvents();

    m_list.PostMessage(WM_KEYDOWN, VK_DOWN, 1);
    ListEventLog events = TakeEvents();
    ASSERT_EQ(CountEvents(events, kParent, MLN_INPUT), 1);
    const int input = FindEvent(events, kParent, MLN_INPUT);
    EXPECT_EQ(events[input].idFrom, kListId);
    EXPECT_EQ(events[input].focusedItem, 1) << "the list view had not moved the focus yet";
    EXPECT_LT(FindEvent(events, kListView, WM_KEYDOWN), input);

    // A key the list view does nothing with is still input.
    m_list.PostMessage(WM_KEYDOWN, VK_SHIFT, 1);
    EXPECT_EQ(CountEvents(TakeEvents(), kParent, MLN_INPUT), 1);
}

TEST_F(BoundListTest, DoubleClickTogglesMarkedRowsCheckWithOnlyFullRowSelect) {
    ASSERT_EQ(m_list.GetExtendedStyle(), static_cast<DWORD>(LVS_EX_FULLROWSELECT));
    m_list.SetCheck(1, TRUE);
    ASSERT_TRUE(m_list.GetCheck(1));

    DoubleClick(m_list, CellCentre(m_list, 1, 1));
    EXPECT_FALSE(m_list.GetCheck(1));
    EXPECT_EQ(CountEvents(TakeEvents(), kParent, NM_DBLCLK), 1);

    DoubleClick(m_list, CellCentre(m_list, 1, 1));
    EXPECT_TRUE(m_list.GetCheck(1));
    EXPECT_TRUE(m_list.GetCheck(0)) << "only the marked row changes";
    EXPECT_EQ(CountEvents(TakeEvents(), kParent, NM_DBLCLK), 1);
}

TEST_F(BoundListTest, DoubleClickLeavesChecksAloneWithoutExtendedStyleOrMarkedRow) {
    for (int row = 0; row < kRows; ++row)
        m_list.SetCheck(row, TRUE);

    m_list.SetExtendedStyle(0);
    DoubleClick(m_list, CellCentre(m_list, 1, 1));
    EXPECT_TRUE(m_list.GetCheck(1));
    EXPECT_EQ(CountEvents(TakeEvents(), kParent, NM_DBLCLK), 1);

    // With no row marked there is nothing to toggle, not every row at once.
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    m_list.SetSelectionMark(-1);
    ASSERT_EQ(m_list.GetSelectionMark(), -1);
    m_list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(300, 280));
    for (int row = 0; row < kRows; ++row)
        EXPECT_TRUE(m_list.GetCheck(row)) << "row " << row;
}

TEST_F(BoundListTest, MouseMoveWithExactlyTheLeftButtonIsDropped) {
    const POINT pt = CellCentre(m_list, 1, 1);
    const LPARAM at = MAKELPARAM(pt.x, pt.y);
    m_list.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, at);
    m_list.SendMessage(WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, at);
    m_list.SendMessage(WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL, at);
    m_list.SendMessage(WM_MOUSEMOVE, 0, at);

    std::vector<WPARAM> passed;
    for (const ListEvent& e : m_log)
        if (e.kind == kListView && e.code == WM_MOUSEMOVE)
            passed.push_back(e.wParam);
    EXPECT_EQ(passed, (std::vector<WPARAM>{MK_LBUTTON | MK_SHIFT, MK_LBUTTON | MK_CONTROL, 0}));
}
} // namespace
