// Step sequences of each motion and style, Reset, and the rules of SetMode, SetMotion and
// SetBusyStyle. The control has no window here: stepping needs none.
#include <gtest/gtest.h>

#include "busy_test_support.h"

namespace {
std::vector<int> Steps(CBusyProgressCtrl& ctrl, int count) {
    std::vector<int> positions;
    for (int i = 0; i < count; ++i) {
        ctrl.StepIt();
        positions.push_back(ctrl.m_nPos);
    }
    return positions;
}
} // namespace

TEST(BusyStepping, BounceRunsFromBeforeTheFirstBlockToTheLastAndBack) {
    CBusyProgressCtrl ctrl(10, -1); // the IP Config set-up
    const std::vector<int> expected{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2};
    EXPECT_EQ(expected, Steps(ctrl, 21));
}

TEST(BusyStepping, BounceWithOneBlockAlternates) {
    CBusyProgressCtrl ctrl(1, 0);
    EXPECT_EQ((std::vector<int>{1, 0, 1, 0}), Steps(ctrl, 4));
}

TEST(BusyStepping, WrapStartsAgainAtTheFirstButOnlyFromTheLast) {
    CBusyProgressCtrl ctrl(10, 8);
    ctrl.SetMotion(BP_MOTION_WRAP);
    EXPECT_EQ((std::vector<int>{9, 0, 1}), Steps(ctrl, 3));
    ctrl.m_nPos = 12;
    EXPECT_EQ((std::vector<int>{13, 14}), Steps(ctrl, 2));
}

TEST(BusyStepping, WrapBackRunsDownFromOnePastTheLast) {
    CBusyProgressCtrl ctrl(10, 3);
    ctrl.SetMotion(BP_MOTION_WRAP_BACK);
    ctrl.Reset();
    EXPECT_EQ(10, ctrl.m_nPos);
    EXPECT_EQ((std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 9, 8}), Steps(ctrl, 12));
}

TEST(BusyStepping, BarBounceNeverReachesAFullRow) {
    CBusyProgressCtrl ctrl(10, 0);
    ctrl.SetBusyStyle(BP_STYLE_BAR);
    const std::vector<int> run = Steps(ctrl, 120);
    EXPECT_EQ(49, *std::max_element(run.begin(), run.end()));
    EXPECT_EQ(0, *std::min_element(run.begin(), run.end()));
    EXPECT_EQ(49, run[48]);
    EXPECT_EQ(48, run[49]);
}

TEST(BusyStepping, UnknownStyleHasLimitZeroAndUnknownMotionOrModeOnlyAdds) {
    CBusyProgressCtrl style(10, 0);
    style.m_nBusyStyle = 3;
    EXPECT_EQ((std::vector<int>{1, 0, 1, 0}), Steps(style, 4));

    CBusyProgressCtrl motion(10, 8);
    motion.SetMotion(3);
    EXPECT_EQ((std::vector<int>{9, 10, 11}), Steps(motion, 3));

    CBusyProgressCtrl progress(10, 99);
    progress.SetMode(BP_MODE_PROGRESS);
    EXPECT_EQ((std::vector<int>{100, 101, 102}), Steps(progress, 3));
}

TEST(BusyStepping, ResetPutsPositionAndDirectionBackByModeMotionAndStyle) {
    struct Case {
        int mode, motion, style, expectedPos, expectedDirection;
    };
    const Case cases[] = {
        {BP_MODE_BUSY, BP_MOTION_WRAP_BACK, BP_STYLE_BLOCK, 10, -1},
        {BP_MODE_BUSY, BP_MOTION_WRAP_BACK, BP_STYLE_BAR, 10 * 4, -1}, // afresh, not the stale step count
        {BP_MODE_BUSY, BP_MOTION_WRAP_BACK, 3, 10, -1},
        {BP_MODE_BUSY, BP_MOTION_BOUNCE, BP_STYLE_BAR, 0, +1},
        {BP_MODE_BUSY, BP_MOTION_WRAP, BP_STYLE_BLOCK, 0, +1},
        {BP_MODE_PROGRESS, BP_MOTION_WRAP_BACK, BP_STYLE_BLOCK, 0, +1},
    };
    for (const Case& c : cases) {
        CBusyProgressCtrl ctrl(10, 6);
        ctrl.m_nMode = c.mode;
        ctrl.m_nMotion = c.motion;
        ctrl.m_nBusyStyle = c.style;
        ctrl.m_nStepsPerBlock = 4;
        ctrl.m_nTotalSteps = 7;
        ctrl.m_nDirection = c.expectedDirection == 1 ? -1 : 1;
        ctrl.Reset();
        EXPECT_EQ(c.expectedPos, ctrl.m_nPos)
            << "mode " << c.mode << " motion " << c.motion << " style " << c.style;
        EXPECT_EQ(c.expectedDirection, ctrl.m_nDirection) << "mode " << c.mode << " motion " << c.motion;
    }
}

TEST(BusyStepping, SetModeSwitchesBetweenTheTwoModesAndStopsThere) {
    CBusyProgressCtrl ctrl(10, 4);
    ctrl.m_nDirection = -1;
    ctrl.SetMode(BP_MODE_PROGRESS);
    EXPECT_EQ(BP_MODE_PROGRESS, ctrl.m_nMode);
    EXPECT_EQ(+1, ctrl.m_nDirection);
    EXPECT_EQ(4, ctrl.m_nPos);
    ctrl.m_nDirection = -1;
    ctrl.SetMode(BP_MODE_BUSY);
    EXPECT_EQ(-1, ctrl.m_nDirection);
    // An unknown mode is stored, and from it the control does not switch again.
    ctrl.SetMode(9);
    EXPECT_EQ(9, ctrl.m_nMode);
    ctrl.SetMode(BP_MODE_BUSY);
    EXPECT_EQ(9, ctrl.m_nMode);
}

TEST(BusyStepping, SetMotionSetsTheDirectionOnlyInBusyMode) {
    CBusyProgressCtrl ctrl(10, 0);
    ctrl.SetMotion(BP_MOTION_WRAP_BACK);
    EXPECT_EQ(-1, ctrl.m_nDirection);
    ctrl.SetMotion(BP_MOTION_BOUNCE);
    EXPECT_EQ(-1, ctrl.m_nDirection);
    ctrl.SetMotion(BP_MOTION_WRAP);
    EXPECT_EQ(+1, ctrl.m_nDirection);
    EXPECT_EQ(0, ctrl.m_nPos);
    ctrl.SetMode(BP_MODE_PROGRESS);
    ctrl.SetMotion(BP_MOTION_WRAP_BACK);
    EXPECT_EQ(BP_MOTION_WRAP_BACK, ctrl.m_nMotion);
    EXPECT_EQ(+1, ctrl.m_nDirection);
}

TEST(BusyStepping, SetBusyStyleResetsAndRecomputesBarStepsOnlyInBusyMode) {
    CBusyProgressCtrl ctrl(10, 6);
    ctrl.m_nStepsPerBlock = 3;
    ctrl.SetBusyStyle(BP_STYLE_BLOCK);
    EXPECT_EQ(0, ctrl.m_nPos);
    EXPECT_EQ(50, ctrl.m_nTotalSteps); // block style leaves the bar's step count alone
    ctrl.SetBusyStyle(BP_STYLE_BAR);
    EXPECT_EQ(BP_STYLE_BAR, ctrl.m_nBusyStyle);
    EXPECT_EQ(30, ctrl.m_nTotalSteps);

    ctrl.SetMode(BP_MODE_PROGRESS);
    ctrl.m_nPos = 6;
    ctrl.SetBusyStyle(BP_STYLE_BLOCK);
    EXPECT_EQ(BP_STYLE_BAR, ctrl.m_nBusyStyle);
    EXPECT_EQ(6, ctrl.m_nPos);
}
