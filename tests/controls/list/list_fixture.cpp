#include "list_fixture.h"

#include <string>
#include <utility>

void FillDeviceColumns(const CListCtrl& list, int rows) {
    list.InsertColumn(0, L"No.", LVCFMT_CENTER, kColumnWidths[0]);
    list.InsertColumn(1, L"IP", LVCFMT_CENTER, kColumnWidths[1]);
    list.InsertColumn(2, L"MAC", LVCFMT_LEFT, kColumnWidths[2]);
    for (int row = 0; row < rows; ++row) {
        list.InsertItem(row, std::to_wstring(row + 1).c_str());
        list.SetItemText(row, 1, L"198.51.100.7");
        list.SetItemText(row, 2, L"x");
    }
}

CFont MakeFont(int height) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lstrcpyW(lf.lfFaceName, L"Arial");
    CFont font;
    font.CreateFontIndirect(&lf);
    return font;
}

void BoundListTest::SetUp() {
    HWND raw = MakeRawList(WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_ALIGNLEFT, kListId);
    m_spy = std::make_unique<ListViewSpy>(raw, m_log);
    ASSERT_TRUE(m_list.SubclassWindow(raw));
    m_font = MakeFont(-13);
    m_list.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(m_font)), TRUE);
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    m_list.SetBkColor(RGB(0, 0, 0));
    m_list.SetTextBkColor(RGB(0, 0, 0));
    m_list.SetTextColor(RGB(0xFF, 0xFF, 0xFF));
    FillDeviceColumns(m_list, kRows);
    PumpMessages();
    m_log.clear();
}

HWND BoundListTest::MakeRawList(DWORD style, int id) const {
    return ::CreateWindowExW(0, WC_LISTVIEWW, L"List1", WS_CHILD | WS_VISIBLE | style, 10, 10, 560, 300,
                             m_host, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                             ::GetModuleHandleW(nullptr), nullptr);
}

ListEventLog BoundListTest::TakeEvents() {
    PumpMessages();
    return std::exchange(m_log, {});
}

void CreatedListTest::SetUp() {
    m_hOther = ::CreateWindowExW(0, L"BUTTON", L"other", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 420, 80, 24,
                                 m_host, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(2)),
                                 ::GetModuleHandleW(nullptr), nullptr);
}

void CreatedListTest::CreateList(DWORD style) {
    RECT rect{10, 10, 570, 310};
    ASSERT_TRUE(m_list.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | style, rect, &m_host, kListId));
}

POINT CreatedListTest::StripPoint(int item) const {
    RECT bounds{};
    m_list.GetItemRect(item, &bounds, LVIR_BOUNDS);
    RECT client{};
    m_list.GetClientRect(&client);
    return POINT{(bounds.right + client.right) / 2, (bounds.top + bounds.bottom) / 2};
}

POINT CreatedListTest::CellFillPoint(int item) const {
    RECT bounds{};
    m_list.GetItemRect(item, &bounds, LVIR_BOUNDS);
    return POINT{bounds.right - 20, (bounds.top + bounds.bottom) / 2};
}
