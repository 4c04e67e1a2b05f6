// The colours the bound list records, the label editor's brush and the font change.
#include "list_fixture.h"

namespace {
constexpr auto kListView = ListEvent::ListViewDone;

TEST_F(BoundListTest, BindingKeepsTheTemplateListAsItIs) {
    EXPECT_FALSE(m_list.m_bFullRow);
    const DWORD style = m_list.GetStyle();
    EXPECT_EQ(style & LVS_TYPEMASK, static_cast<DWORD>(LVS_REPORT));
    EXPECT_EQ(style & LVS_OWNERDRAWFIXED, 0u);
    EXPECT_NE(style & LVS_SHOWSELALWAYS, 0u);
}

TEST_F(BoundListTest, RecordsTheTextColoursItIsGiven) {
    EXPECT_EQ(m_list.m_crText, RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(m_list.m_crTextBk, RGB(0, 0, 0));
    EXPECT_EQ(static_cast<COLORREF>(m_list.SendMessage(LVM_GETTEXTCOLOR)), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(static_cast<COLORREF>(m_list.SendMessage(LVM_GETTEXTBKCOLOR)), RGB(0, 0, 0));

    EXPECT_TRUE(m_list.SetTextColor(RGB(1, 2, 3)));
    EXPECT_TRUE(m_list.SetTextBkColor(RGB(4, 5, 6)));
    EXPECT_EQ(m_list.m_crText, RGB(1, 2, 3));
    EXPECT_EQ(m_list.m_crTextBk, RGB(4, 5, 6));
    EXPECT_EQ(static_cast<COLORREF>(m_list.SendMessage(LVM_GETTEXTCOLOR)), RGB(1, 2, 3));
    EXPECT_EQ(static_cast<COLORREF>(m_list.SendMessage(LVM_GETTEXTBKCOLOR)), RGB(4, 5, 6));
}

TEST_F(BoundListTest, EditorGetsOneBlackBrushThatDiesWithTheList) {
    HWND editor = ::CreateWindowExW(0, L"EDIT", L"1", WS_CHILD | WS_VISIBLE, 0, 0, 60, 16, m_list, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    HDC dc = ::GetDC(editor);
    auto askBrush = [&] {
        return reinterpret_cast<HBRUSH>(m_list.SendMessage(WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                                           reinterpret_cast<LPARAM>(editor)));
    };
    HBRUSH first = askBrush();
    HBRUSH second = askBrush();
    ::ReleaseDC(editor, dc);

    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    LOGBRUSH lb{};
    ASSERT_EQ(::GetObjectW(first, sizeof lb, &lb), static_cast<int>(sizeof lb));
    EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_SOLID));
    EXPECT_EQ(lb.lbColor, RGB(0, 0, 0));
    EXPECT_NE(first, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH))) << "the brush is the list's own";

    ::DestroyWindow(m_list);
    EXPECT_EQ(::GetObjectType(first), 0u) << "brush outlived the list";
}

TEST_F(BoundListTest, FontChangeTellsTheListViewItsSizeAgain) {
    CFont font = MakeFont(-20);
    m_list.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(font)), FALSE);
    ListEventLog events = TakeEvents();

    const int setFont = FindEvent(events, kListView, WM_SETFONT);
    // The list view's own reaction to the size nests inside, so the resent one is recorded last.
    const int moved = FindLastEvent(events, kListView, WM_WINDOWPOSCHANGED);
    ASSERT_GE(setFont, 0);
    ASSERT_GT(moved, setFont) << "the size must come after the list view took the font";
    RECT rect{};
    m_list.GetWindowRect(&rect);
    const WINDOWPOS& pos = events[moved].position;
    EXPECT_EQ(pos.hwnd, m_list.m_hWnd);
    EXPECT_EQ(pos.cx, rect.right - rect.left);
    EXPECT_EQ(pos.cy, rect.bottom - rect.top);
    EXPECT_EQ(pos.flags, 0x216u);
    EXPECT_EQ(m_list.GetFont(), static_cast<HFONT>(font));
    m_list.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(m_font)), FALSE);
}
} // namespace
