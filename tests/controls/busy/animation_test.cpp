// The animation thread: it steps without the user-interface thread's help, and when Stop returns it
// has ended, however early or late Stop comes. Each test keeps its own handle of the thread, so it
// can see the thread end after the control has released its object.
#include <memory>

#include <gtest/gtest.h>

#include "busy_test_support.h"

namespace {
void ExpectIdle(const CBusyProgressCtrl& ctrl) {
    EXPECT_EQ(nullptr, ctrl.m_pThread);
    EXPECT_FALSE(ctrl.m_bRunning);
}
} // namespace

TEST(BusyAnimation, ThreadStepsAndInvalidatesWhileTheUserInterfaceThreadPumpsNothing) {
    BoundBusyCtrl bound(110, 12, 10, -1);
    bound.ctrl.m_nInterval = 5;
    bound.Settle();
    bound.ctrl.Start();
    ASSERT_NE(nullptr, bound.ctrl.m_pThread);
    EXPECT_TRUE(bound.ctrl.m_bRunning);
    EXPECT_TRUE(PollUntil([&] { return bound.ctrl.m_nPos >= 3; }));
    EXPECT_TRUE(bound.HasUpdateRegion());
    ThreadWatch watch(bound.ctrl);
    bound.ctrl.Stop();
    EXPECT_TRUE(watch.Ended());
    ExpectIdle(bound.ctrl);
}

TEST(BusyAnimation, TwoHundredStartsAndStopsLeaveNoThreadRunning) {
    BoundBusyCtrl bound(110, 12);
    bound.ctrl.m_nInterval = 1;
    for (int i = 0; i < 200; ++i) {
        bound.ctrl.Start();
        ThreadWatch watch(bound.ctrl);
        ASSERT_TRUE(watch.Valid()) << "start " << i;
        // Every other round stops before the new thread has had a chance to run at all.
        if (i % 2 == 1) {
            const int before = bound.ctrl.m_nPos;
            ASSERT_TRUE(PollUntil([&] { return bound.ctrl.m_nPos != before; })) << "start " << i;
        }
        bound.ctrl.Stop();
        ASSERT_TRUE(watch.Ended()) << "start " << i;
        ExpectIdle(bound.ctrl);
    }
}

TEST(BusyAnimation, StopRightAfterStartMovesThePositionAtMostOnce) {
    BoundBusyCtrl bound(110, 12, 10, 4);
    bound.ctrl.m_nInterval = 1000; // a thread that got to run would sleep through the bounded wait
    bound.ctrl.Start();
    ThreadWatch watch(bound.ctrl);
    bound.ctrl.Stop();
    EXPECT_TRUE(watch.Ended());
    EXPECT_GE(bound.ctrl.m_nPos, 4);
    EXPECT_LE(bound.ctrl.m_nPos, 5);
}

TEST(BusyAnimation, StopWaitsOnWhenTheThreadSleepsLongerThanTheBoundedWait) {
    BoundBusyCtrl bound(110, 12, 10, 0);
    bound.ctrl.m_nInterval = 1500;
    bound.ctrl.Start();
    ThreadWatch watch(bound.ctrl);
    ASSERT_TRUE(PollUntil([&] { return bound.ctrl.m_nPos == 1; }));
    // The thread sleeps its 1500 ms while Stop now waits only 2 x 1 ms before it must decide.
    bound.ctrl.m_nInterval = 1;
    bound.ctrl.Stop();
    EXPECT_TRUE(watch.Ended());
    ExpectIdle(bound.ctrl);
    EXPECT_EQ(1, bound.ctrl.m_nPos);
}

TEST(BusyAnimation, StartWhileRunningEndsTheOldThreadFirst) {
    BoundBusyCtrl bound(110, 12);
    bound.ctrl.m_nInterval = 2;
    bound.ctrl.Start();
    ThreadWatch first(bound.ctrl);
    bound.ctrl.Start();
    EXPECT_TRUE(first.Ended());
    ThreadWatch second(bound.ctrl);
    ASSERT_TRUE(second.Valid());
    const int before = bound.ctrl.m_nPos;
    EXPECT_TRUE(PollUntil([&] { return bound.ctrl.m_nPos != before; }));
    bound.ctrl.Stop();
    EXPECT_TRUE(second.Ended());
}

TEST(BusyAnimation, AStaleRunningFlagDoesNotHoldUpANewThread) {
    BoundBusyCtrl bound(110, 12);
    bound.ctrl.m_nInterval = 2;
    bound.ctrl.m_bRunning = true;
    bound.ctrl.Start();
    const int before = bound.ctrl.m_nPos;
    EXPECT_TRUE(PollUntil([&] { return bound.ctrl.m_nPos != before; }));
    bound.ctrl.Stop();
    ExpectIdle(bound.ctrl);
}

TEST(BusyAnimation, SetModeStopsARunningThread) {
    BoundBusyCtrl bound(110, 12);
    bound.ctrl.m_nInterval = 2;
    bound.ctrl.Start();
    ThreadWatch watch(bound.ctrl);
    bound.ctrl.SetMode(BP_MODE_PROGRESS);
    EXPECT_TRUE(watch.Ended());
    ExpectIdle(bound.ctrl);
}

TEST(BusyAnimation, ControlGoesAfterStopAndStopsAThreadItsOwnerForgot) {
    BoundBusyCtrl host(10, 10);
    for (bool stopFirst : {true, false}) {
        SCOPED_TRACE(stopFirst ? "stopped" : "forgotten");
        auto ctrl = std::make_unique<CBusyProgressCtrl>(10, 0);
        ASSERT_TRUE(CreateBusyChild(host.Host(), *ctrl));
        HWND window = ctrl->m_hWnd;
        ctrl->m_nInterval = 2;
        ctrl->Start();
        ThreadWatch watch(*ctrl);
        if (stopFirst)
            ctrl->Stop();
        ctrl.reset(); // while its window still exists
        EXPECT_TRUE(watch.Ended());
        ::DestroyWindow(window);
    }
}

TEST(BusyAnimation, ThreadProcedureWithoutAControlFails) {
    EXPECT_EQ(0xFFFFFFFFu, BusyAnimateThread(nullptr));
}
