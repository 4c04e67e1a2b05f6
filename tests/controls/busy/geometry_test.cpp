// Block geometry: from the client area of a bound or created control to the block rectangles drawn.
#include <gtest/gtest.h>

#include "busy_test_support.h"

using Spans = std::vector<std::pair<int, int>>;

TEST(BusyGeometry, BoundStaticOf110x12GivesTenBlocksOfTenWithOneGapEach) {
    BoundBusyCtrl bound(110, 12);
    CBusyProgressCtrl& ctrl = bound.ctrl;
    // The system draws the two edges; the control's rectangle is the client area alone.
    EXPECT_EQ(0, ctrl.m_rcClient.left);
    EXPECT_EQ(110, ctrl.m_rcClient.right);
    EXPECT_EQ(12, ctrl.m_rcClient.bottom);
    EXPECT_EQ(10.0, ctrl.m_dBlockWidth);
    EXPECT_EQ(12.0, ctrl.m_dBlockHeight);

    UseTestColors(ctrl);
    ctrl.m_nPos = -1;
    Canvas canvas(110, 12);
    DrawRow(ctrl, canvas);
    Spans expected;
    for (int i = 0; i < 10; ++i)
        expected.emplace_back(11 * i, 11 * i + 10);
    EXPECT_EQ(expected, BlockSpans(canvas.Dc(), 110, kBack));
    // The gap follows the last block too, and the outline's last row is the client area's last.
    EXPECT_EQ(kBack, ::GetPixel(canvas.Dc(), 109, 5));
    EXPECT_EQ(kBlockBorder, ::GetPixel(canvas.Dc(), 99, 11));
}

TEST(BusyGeometry, FractionalWidthAlternatesNineAndTenPixelBlocks) {
    BoundBusyCtrl bound(105, 12);
    UseTestColors(bound.ctrl);
    EXPECT_EQ(9.5, bound.ctrl.m_dBlockWidth);
    Canvas canvas(105, 12);
    DrawRow(bound.ctrl, canvas);
    const Spans expected{{0, 9},   {10, 20}, {21, 30}, {31, 41}, {42, 51},
                         {52, 62}, {63, 72}, {73, 83}, {84, 93}, {94, 104}};
    EXPECT_EQ(expected, BlockSpans(canvas.Dc(), 105, kBack));
}

TEST(BusyGeometry, CreatedControlIsAStaticWithItsOwnTextAndGeometry) {
    BoundBusyCtrl host(10, 10);
    CBusyProgressCtrl ctrl(10, 0);
    ASSERT_TRUE(CreateBusyChild(host.Host(), ctrl));
    wchar_t cls[16] = {};
    ::GetClassNameW(ctrl.m_hWnd, cls, 16);
    EXPECT_STREQ(L"Static", cls);
    EXPECT_EQ(L"BusyProgressCtrl", ctrl.GetWindowText());
    EXPECT_EQ(77, ctrl.GetDlgCtrlID());
    EXPECT_EQ(10.0, ctrl.m_dBlockWidth);
    EXPECT_EQ(12.0, ctrl.m_dBlockHeight);
    ::DestroyWindow(ctrl.m_hWnd);
}

TEST(BusyGeometry, RecalcLayoutKeepsAGivenRectangleAndSubtractsOneGapPerBlock) {
    struct Case {
        RECT rc;
        int blocks, gap;
        double width, height;
    };
    const Case cases[] = {
        {{5, 0, 115, 12}, 10, 1, 10.0, 12.0}, // the left edge is subtracted
        {{0, 2, 110, 8}, 10, 3, 8.0, 6.0},
        {{0, 0, 110, 12}, 4, 1, 26.5, 12.0},
        {{0, 0, 10, 12}, 1, 1, 9.0, 12.0},
    };
    for (const Case& c : cases) {
        CBusyProgressCtrl ctrl(c.blocks, 0);
        ctrl.m_rcClient = c.rc;
        ctrl.m_nGap = c.gap;
        ctrl.RecalcLayout(); // no window: a non-empty rectangle is never re-read
        EXPECT_EQ(c.width, ctrl.m_dBlockWidth) << c.blocks << " blocks, gap " << c.gap;
        EXPECT_EQ(c.height, ctrl.m_dBlockHeight);
        EXPECT_EQ(c.rc.right, ctrl.m_rcClient.right);
    }
}

TEST(BusyGeometry, NoBlocksGiveAFiniteGeometryAndAnEmptyRow) {
    for (int blocks : {0, -3}) {
        CBusyProgressCtrl ctrl(blocks, 0);
        UseTestColors(ctrl);
        ctrl.m_rcClient = {0, 0, 50, 12};
        ctrl.RecalcLayout();
        EXPECT_EQ(0.0, ctrl.m_dBlockWidth);
        Canvas canvas(50, 12);
        DrawRow(ctrl, canvas);
        EXPECT_TRUE(BlockSpans(canvas.Dc(), 50, kBack).empty());
    }
}

// At the system's DPI (the end-to-end DPI test runs this at 144 and 192 as well): the gap and the
// outline are the design's one pixel times DPI / 96, and the blocks share what is left.
TEST(BusyGeometry, GapAndOutlineFollowTheDpi) {
    BoundBusyCtrl bound(110, 12);
    CBusyProgressCtrl& ctrl = bound.ctrl;
    const int pixel = ScaledForDpi(1, WindowDpi(ctrl.m_hWnd));
    const int width = (110 - 10 * pixel) / 10;
    EXPECT_EQ(static_cast<double>(110 - 10 * pixel) / 10, ctrl.m_dBlockWidth);
    UseTestColors(ctrl);
    ctrl.m_nPos = -1;
    Canvas canvas(110, 12);
    DrawRow(ctrl, canvas);
    Spans expected;
    for (int i = 0; i < 10; ++i)
        expected.emplace_back((width + pixel) * i, (width + pixel) * i + width);
    EXPECT_EQ(expected, BlockSpans(canvas.Dc(), 110, kBack));
    EXPECT_EQ(kBlockBorder, ::GetPixel(canvas.Dc(), pixel - 1, 5));
    EXPECT_EQ(kBlock, ::GetPixel(canvas.Dc(), pixel, 5));
}
