// The twenty private messages, each on a fresh bound control, and the system colour change.
#include <functional>

#include <gtest/gtest.h>

#include "busy_test_support.h"

namespace {
enum class Repaint { No, Yes, Any };

struct MessageCase {
    const char* name;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    Repaint repaint;
    std::function<void(CBusyProgressCtrl&)> check;
};

WPARAM Signed(int v) { return static_cast<WPARAM>(static_cast<INT_PTR>(v)); }
} // namespace

TEST(BusyMessages, EachMessageReachesItsOperationReturnsZeroAndRepaintsAsItShould) {
    using C = CBusyProgressCtrl;
    const MessageCase cases[] = {
        {"SETBLOCKS", BPM_SETBLOCKS, 5, 0, Repaint::Yes,
         [](C& c) {
             EXPECT_EQ(5, c.m_nBlocks);
             EXPECT_EQ(21.0, c.m_dBlockWidth);
             EXPECT_EQ(50, c.m_nTotalSteps);
         }},
        {"SETPOS", BPM_SETPOS, Signed(-1), 0, Repaint::Yes, [](C& c) { EXPECT_EQ(-1, c.m_nPos); }},
        {"SETGAP", BPM_SETGAP, 3, 0, Repaint::Yes,
         [](C& c) {
             EXPECT_EQ(3, c.m_nGap);
             EXPECT_EQ(8.0, c.m_dBlockWidth);
         }},
        {"SETINTERVAL", BPM_SETINTERVAL, 40, 0, Repaint::No, [](C& c) { EXPECT_EQ(40, c.m_nInterval); }},
        {"SETRANGE", BPM_SETRANGE, Signed(-100), -50, Repaint::No,
         [](C& c) {
             EXPECT_EQ(-100, c.m_nMin);
             EXPECT_EQ(-50, c.m_nMax);
         }},
        {"SETMODE", BPM_SETMODE, BP_MODE_PROGRESS, 0, Repaint::No,
         [](C& c) { EXPECT_EQ(BP_MODE_PROGRESS, c.m_nMode); }},
        {"START", BPM_START, 0, 0, Repaint::Any, [](C& c) { EXPECT_NE(nullptr, c.m_pThread); }},
        {"STOP", BPM_STOP, 0, 0, Repaint::No, [](C& c) { EXPECT_EQ(nullptr, c.m_pThread); }},
        {"STEP", BPM_STEP, 0, 0, Repaint::Yes, [](C& c) { EXPECT_EQ(3, c.m_nPos); }},
        {"SETMOTION", BPM_SETMOTION, BP_MOTION_WRAP_BACK, 0, Repaint::No,
         [](C& c) {
             EXPECT_EQ(BP_MOTION_WRAP_BACK, c.m_nMotion);
             EXPECT_EQ(-1, c.m_nDirection);
         }},
        {"SETBUSYSTYLE", BPM_SETBUSYSTYLE, BP_STYLE_BAR, 0, Repaint::No,
         [](C& c) {
             EXPECT_EQ(BP_STYLE_BAR, c.m_nBusyStyle);
             EXPECT_EQ(0, c.m_nPos);
         }},
        {"SETSTEPSPERBLOCK", BPM_SETSTEPSPERBLOCK, 2, 0, Repaint::No,
         [](C& c) {
             EXPECT_EQ(2, c.m_nStepsPerBlock);
             EXPECT_EQ(0, c.m_nPos);         // reset by the style pass
             EXPECT_EQ(50, c.m_nTotalSteps); // block style: not recomputed
         }},
        {"SETBKCOLOR", BPM_SETBKCOLOR, RGB(1, 2, 3), 0, Repaint::Yes,
         [](C& c) { EXPECT_EQ(RGB(1, 2, 3), c.m_crBack); }},
        {"SETBLOCKCOLOR", BPM_SETBLOCKCOLOR, RGB(4, 5, 6), 0, Repaint::Yes,
         [](C& c) { EXPECT_EQ(RGB(4, 5, 6), c.m_crBlock); }},
        {"SETBLOCKBORDERCOLOR", BPM_SETBLOCKBORDERCOLOR, RGB(7, 8, 9), 0, Repaint::Yes,
         [](C& c) { EXPECT_EQ(RGB(7, 8, 9), c.m_crBlockBorder); }},
        {"SETACTIVECOLOR", BPM_SETACTIVECOLOR, RGB(10, 11, 12), 0, Repaint::Yes,
         [](C& c) { EXPECT_EQ(RGB(10, 11, 12), c.m_crActive); }},
        {"SETACTIVEBORDERCOLOR", BPM_SETACTIVEBORDERCOLOR, RGB(13, 14, 15), 0, Repaint::Yes,
         [](C& c) { EXPECT_EQ(RGB(13, 14, 15), c.m_crActiveBorder); }},
        {"RECALCLAYOUT", BPM_RECALCLAYOUT, 0, 0, Repaint::No, [](C& c) { EXPECT_EQ(10.0, c.m_dBlockWidth); }},
        {"RESET", BPM_RESET, 0, 0, Repaint::No,
         [](C& c) {
             EXPECT_EQ(0, c.m_nPos);
             EXPECT_EQ(+1, c.m_nDirection);
         }},
        {"USESYSBKCOLOR", BPM_USESYSBKCOLOR, 0, 0, Repaint::Yes, [](C& c) { EXPECT_FALSE(c.m_bSysBkColor); }},
    };
    for (const MessageCase& c : cases) {
        SCOPED_TRACE(c.name);
        BoundBusyCtrl bound(110, 12, 10, 2);
        bound.ctrl.m_dBlockWidth = 99.0; // so a recomputed layout shows
        bound.ctrl.m_crBack = RGB(200, 0, 0);
        bound.Settle();
        EXPECT_EQ(0, bound.ctrl.SendMessage(c.msg, c.wParam, c.lParam));
        if (c.repaint != Repaint::Any) {
            EXPECT_EQ(c.repaint == Repaint::Yes, bound.HasUpdateRegion());
        }
        c.check(bound.ctrl);
    }
}

TEST(BusyMessages, ProgressModeIgnoresStyleAndStart) {
    BoundBusyCtrl bound(110, 12);
    bound.ctrl.SendMessage(BPM_SETMODE, BP_MODE_PROGRESS);
    bound.ctrl.SendMessage(BPM_SETBUSYSTYLE, BP_STYLE_BAR);
    EXPECT_EQ(BP_STYLE_BLOCK, bound.ctrl.m_nBusyStyle);
    bound.ctrl.SendMessage(BPM_START);
    EXPECT_EQ(nullptr, bound.ctrl.m_pThread);
    EXPECT_FALSE(bound.ctrl.m_bRunning);
}

TEST(BusyMessages, NewBlockCountReachesTheBarStepsOnlyThroughTheStyle) {
    BoundBusyCtrl bound(110, 12);
    bound.ctrl.SendMessage(BPM_SETBUSYSTYLE, BP_STYLE_BAR);
    bound.ctrl.SendMessage(BPM_SETBLOCKS, 4);
    EXPECT_EQ(50, bound.ctrl.m_nTotalSteps);
    bound.ctrl.SendMessage(BPM_SETBUSYSTYLE, BP_STYLE_BAR);
    EXPECT_EQ(20, bound.ctrl.m_nTotalSteps);
    bound.ctrl.SendMessage(BPM_SETSTEPSPERBLOCK, 3);
    EXPECT_EQ(12, bound.ctrl.m_nTotalSteps);
}

TEST(BusyMessages, SystemColourChangeFollowsButtonFaceOnlyWhileAskedTo) {
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF custom = face ^ 0x00FFFFFF;
    BoundBusyCtrl bound(110, 12);
    CBusyProgressCtrl& ctrl = bound.ctrl;

    ctrl.SendMessage(BPM_SETBKCOLOR, custom);
    EXPECT_TRUE(ctrl.m_bSysBkColor);
    bound.Settle();
    ctrl.SendMessage(WM_SYSCOLORCHANGE);
    EXPECT_EQ(face, ctrl.m_crBack);
    EXPECT_TRUE(bound.HasUpdateRegion());

    ctrl.SendMessage(BPM_USESYSBKCOLOR, 0);
    ctrl.SendMessage(BPM_SETBKCOLOR, custom);
    bound.Settle();
    ctrl.SendMessage(WM_SYSCOLORCHANGE);
    EXPECT_EQ(custom, ctrl.m_crBack);
    EXPECT_FALSE(bound.HasUpdateRegion());

    // Following again takes the system colour at once.
    ctrl.m_crBack = custom;
    ctrl.SendMessage(BPM_USESYSBKCOLOR, 1);
    EXPECT_TRUE(ctrl.m_bSysBkColor);
    EXPECT_EQ(face, ctrl.m_crBack);
}
