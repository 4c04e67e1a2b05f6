// How the main window brings its list in step when that is slow or fails: input is not held up behind
// a long catch-up, and a pass that fails leaves the list painting and is tried again.
#include <gtest/gtest.h>

#include <string>

#include "list_spy.h"
#include "main_window_harness.h"
#include "resource.h"

using namespace std::chrono_literals;
using test::ListSpy;
using test::MainWindowRun;
using test::ReplySender;
using test::WaitUntil;

namespace {

void AnswerAs(const ReplySender& send, int devices) {
    for (int id = 0; id < devices; ++id)
        send.Reply("198.51.100." + std::to_string(id % 250 + 1), id);
}

} // namespace

TEST(MainWindowListPass, AMouseClickOnRefreshIsHandledDuringALongCatchUp) {
    MainWindowRun run;
    ListSpy spy(run.Item(IDC_DEVICE_LIST));
    // As on a system kept busy by a flood: each row costs milliseconds, so 256 rows take about a
    // second of 40 ms passes.
    spy.SetInsertDelay(4);
    ReplySender send;
    AnswerAs(send, 256);
    ASSERT_TRUE(WaitUntil([&] { return run.ListRowCount() >= 20; }, 10s));
    ASSERT_LT(run.ListRowCount(), 200) << "the catch-up ended before the click";

    const auto clicked = test::Clock::now();
    run.ClickButtonWithMouse(IDC_REFRESH);
    ASSERT_TRUE(WaitUntil([&] { return spy.LastEmptied() > clicked; }, 10s));
    const auto took = spy.LastEmptied() - clicked;
    // One pass of 40 ms may be under way when the click comes; the rest of the catch-up may not come
    // first.
    EXPECT_LT(took, 200ms) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
}

TEST(MainWindowListPass, APassThatFailsLeavesTheListPaintingAndIsTriedAgain) {
    MainWindowRun run;
    ListSpy spy(run.Item(IDC_DEVICE_LIST));
    ReplySender send;
    send.Reply("198.51.100.30", 1);
    ASSERT_TRUE(WaitUntil([&] { return run.ListRowCount() == 1; }, 5s));
    ASSERT_EQ(spy.LastRedraw(), TRUE);

    // The next pass runs out of memory for the text of its new row, with redraw off.
    test::FailNextAllocationOn(run.UiThreadId());
    send.Reply("198.51.100.31", 2);
    ASSERT_TRUE(WaitUntil([] { return !test::AllocationFailurePending(); }, 5s));
    // The failed pass is tried again shortly, without another reply, and lists the row.
    EXPECT_TRUE(WaitUntil([&] { return run.ListRowCount() == 2; }, 5s));
    EXPECT_EQ(run.ListText(1, 1), L"198.51.100.31");
    EXPECT_EQ(spy.LastRedraw(), TRUE);
}
