// How the framework finds the object behind a window: only windows this process attached count.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include "wnd.h"

namespace {

// A parent whose child messages run through the framework's reflection, and a child object that
// records what reaches it.
class RecordingChild : public CWnd {
  public:
    int notified = 0;

  protected:
    bool OnChildNotify(UINT, WPARAM, LPARAM, LRESULT* pResult) override {
        ++notified;
        *pResult = 7;
        return true;
    }
};

class PlainWindow : public CWnd {};

HWND MakeWindow(HWND parent = nullptr) {
    return ::CreateWindowExW(0, L"STATIC", L"", parent ? WS_CHILD : WS_OVERLAPPED, 0, 0, 50, 20, parent,
                             nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

struct WindowObjects : ::testing::Test {
    HWND parentWnd = MakeWindow();
    PlainWindow parent;
    void SetUp() override { ASSERT_TRUE(parent.SubclassWindow(parentWnd)); }
    void TearDown() override {
        parent.UnsubclassWindow();
        ::DestroyWindow(parentWnd);
    }
};

} // namespace

TEST_F(WindowObjects, AnAttachedChildGetsItsMessagesAndADetachedOneNoLonger) {
    HWND childWnd = MakeWindow(parentWnd);
    RecordingChild child;
    ASSERT_TRUE(child.SubclassWindow(childWnd));
    EXPECT_EQ(CWnd::FromHandlePermanent(childWnd), &child);
    EXPECT_EQ(::SendMessageW(parentWnd, WM_CTLCOLORSTATIC, 0, reinterpret_cast<LPARAM>(childWnd)), 7);
    EXPECT_EQ(child.notified, 1);

    child.UnsubclassWindow();
    EXPECT_EQ(CWnd::FromHandlePermanent(childWnd), nullptr);
    ::SendMessageW(parentWnd, WM_CTLCOLORSTATIC, 0, reinterpret_cast<LPARAM>(childWnd));
    EXPECT_EQ(child.notified, 1);
    ::DestroyWindow(childWnd);
}

TEST_F(WindowObjects, AWindowThatOnlyCarriesAMarkIsNeverCalled) {
    // A window this process never attached, marked the way a window of another process could mark
    // itself: a pointer of its own choosing under the property name the framework once used. A
    // lookup that trusted the mark would call through that pointer and crash.
    HWND foreign = MakeWindow(parentWnd);
    ::SetPropW(foreign, L"Quillmast.CWnd", reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x10)));
    EXPECT_EQ(CWnd::FromHandlePermanent(foreign), nullptr);
    for (UINT msg : {WM_CTLCOLORSTATIC, WM_CTLCOLOREDIT, WM_CTLCOLORBTN})
        ::SendMessageW(parentWnd, msg, 0, reinterpret_cast<LPARAM>(foreign));
    NMHDR hdr{foreign, 1, NM_CLICK};
    ::SendMessageW(parentWnd, WM_NOTIFY, 1, reinterpret_cast<LPARAM>(&hdr));
    SUCCEED();
    ::RemovePropW(foreign, L"Quillmast.CWnd");
    ::DestroyWindow(foreign);
}
