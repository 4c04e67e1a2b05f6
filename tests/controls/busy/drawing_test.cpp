// The row as drawn for each mode and style, the partial fill, the default look and the GDI objects
// a drawing pass leaves behind.
#include <gtest/gtest.h>

#include "busy_test_support.h"

namespace {
// A windowless control over a 110 x 12 rectangle: ten blocks 10 pixels wide.
struct RowFixture {
    explicit RowFixture(int mode = BP_MODE_BUSY, int style = BP_STYLE_BLOCK) : ctrl(10, 0), canvas(110, 12) {
        UseTestColors(ctrl);
        ctrl.m_rcClient = {0, 0, 110, 12};
        ctrl.RecalcLayout();
        ctrl.m_nMode = mode;
        ctrl.m_nBusyStyle = style;
    }
    std::string Row(int pos) {
        ctrl.m_nPos = pos;
        DrawRow(ctrl, canvas);
        return DescribeRow(canvas.Dc(), 110, 5);
    }
    CBusyProgressCtrl ctrl;
    Canvas canvas;
};
} // namespace

TEST(BusyDrawing, BlockStyleLightsOnlyTheBlockAtThePosition) {
    RowFixture f;
    EXPECT_EQ("o o o A o o o o o o", f.Row(3));
    EXPECT_EQ("A o o o o o o o o o", f.Row(0));
    EXPECT_EQ("o o o o o o o o o o", f.Row(-1));
    EXPECT_EQ("o o o o o o o o o o", f.Row(10));
}

TEST(BusyDrawing, BarStyleFillsActiveBlocksThenAPartialOne) {
    RowFixture f(BP_MODE_BUSY, BP_STYLE_BAR); // 50 steps
    EXPECT_EQ("o o o o o o o o o o", f.Row(0));
    EXPECT_EQ("A o4 o o o o o o o o", f.Row(7));
    EXPECT_EQ("A A A A A A A A A o8", f.Row(49));
    EXPECT_EQ("A A A A A A A A A A", f.Row(50));
    // Below zero the fill would end left of its start: nothing is filled.
    EXPECT_EQ("o o o o o o o o o o", f.Row(-1));
}

TEST(BusyDrawing, ProgressModeFillsPositionOverRangeWhateverTheMinimum) {
    RowFixture f(BP_MODE_PROGRESS);
    EXPECT_EQ("A A A A A A A A A A", f.Row(100));
    EXPECT_EQ("A A A o3 o o o o o o", f.Row(33));
    f.ctrl.m_nMin = -100;
    EXPECT_EQ("A A A A A o o o o o", f.Row(100));
    EXPECT_EQ("o o o o o o o o o o", f.Row(0));
}

TEST(BusyDrawing, UnknownStyleOrModeDrawsOnlyTheBackground) {
    RowFixture style(BP_MODE_BUSY, 3);
    EXPECT_EQ("", style.Row(0));
    RowFixture mode(7);
    EXPECT_EQ("", mode.Row(0));
}

TEST(BusyDrawing, PartialFillStaysInsideTheOutlineAndStopsBeforeTheRightEdge) {
    RowFixture f;
    f.ctrl.m_nPos = -1;
    const RECT block{0, 0, 10, 12};
    struct Case {
        int width, lastFilledColumn; // -1: nothing filled
    };
    for (Case c : {Case{4, 4}, Case{8, 8}, Case{9, 8}, Case{30, 8}, Case{0, -1}, Case{-2, -1}}) {
        DrawRow(f.ctrl, f.canvas);
        f.ctrl.DrawPartialBlock(&f.canvas.Dc(), &block, c.width);
        HDC dc = f.canvas.Dc();
        for (int x = 1; x <= 8; ++x) {
            const COLORREF expected = x <= c.lastFilledColumn ? kActive : kBlock;
            EXPECT_EQ(expected, ::GetPixel(dc, x, 1)) << "width " << c.width << " column " << x;
            EXPECT_EQ(expected, ::GetPixel(dc, x, 10)) << "width " << c.width << " column " << x;
        }
        EXPECT_EQ(kBlockBorder, ::GetPixel(dc, 9, 5)) << "width " << c.width;
        EXPECT_EQ(kBlockBorder, ::GetPixel(dc, 4, 0)) << "width " << c.width;
        EXPECT_EQ(kBlockBorder, ::GetPixel(dc, 4, 11)) << "width " << c.width;
    }
}

TEST(BusyDrawing, DefaultColoursArePixelExact) {
    CBusyProgressCtrl ctrl(10, 1);
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), ctrl.m_crBack);
    ctrl.m_rcClient = {0, 0, 110, 12};
    ctrl.RecalcLayout();
    Canvas canvas(110, 12);
    DrawRow(ctrl, canvas);
    HDC dc = canvas.Dc();
    EXPECT_EQ(RGB(50, 90, 135), ::GetPixel(dc, 0, 0));    // ordinary outline
    EXPECT_EQ(RGB(160, 190, 220), ::GetPixel(dc, 5, 5));  // ordinary fill
    EXPECT_EQ(RGB(50, 90, 135), ::GetPixel(dc, 11, 11));  // active outline
    EXPECT_EQ(RGB(190, 220, 255), ::GetPixel(dc, 15, 5)); // active fill
    EXPECT_EQ(ctrl.m_crBack, ::GetPixel(dc, 10, 5));      // gap
}

namespace {
// Records what each drawing operation is handed and which pen and brush the DC holds meanwhile.
class SpyCtrl : public CBusyProgressCtrl {
  public:
    SpyCtrl() : CBusyProgressCtrl(10, 0) {}
    void DrawBlock(CDC* pDC, const RECT* pRect) override {
        calls.push_back("block@" + std::to_string(pRect->left));
        HGDIOBJ pen = ::GetCurrentObject(*pDC, OBJ_PEN);
        HGDIOBJ brush = ::GetCurrentObject(*pDC, OBJ_BRUSH);
        pens.push_back(pen);
        brushes.push_back(brush);
        ::GetObjectW(pen, sizeof(penLook), &penLook);
        ::GetObjectW(brush, sizeof(brushLook), &brushLook);
        CBusyProgressCtrl::DrawBlock(pDC, pRect);
    }
    void DrawActiveBlock(CDC* pDC, const RECT* pRect) override {
        calls.push_back("active@" + std::to_string(pRect->left));
        CBusyProgressCtrl::DrawActiveBlock(pDC, pRect);
    }
    void DrawPartialBlock(CDC* pDC, const RECT* pRect, int nWidth) override {
        calls.push_back("partial@" + std::to_string(pRect->left) + "/" + std::to_string(nWidth));
        CBusyProgressCtrl::DrawPartialBlock(pDC, pRect, nWidth);
    }
    std::vector<std::string> calls;
    std::vector<HGDIOBJ> pens, brushes;
    LOGPEN penLook{};
    LOGBRUSH brushLook{};
};
} // namespace

TEST(BusyDrawing, BlocksGoThroughTheVirtualOperationsWithOnePenAndBrushThatDoNotOutliveThePass) {
    SpyCtrl spy;
    UseTestColors(spy);
    spy.m_rcClient = {0, 0, 110, 12};
    spy.RecalcLayout();
    spy.m_nBusyStyle = BP_STYLE_BAR;
    spy.m_nPos = 7;
    Canvas canvas(110, 12);
    HGDIOBJ penBefore = ::GetCurrentObject(canvas.Dc(), OBJ_PEN);
    HGDIOBJ brushBefore = ::GetCurrentObject(canvas.Dc(), OBJ_BRUSH);
    spy.DrawBlocks(&canvas.Dc(), nullptr);

    const std::vector<std::string> expected{"active@0", "block@11", "partial@11/4", "block@22",
                                            "block@33", "block@44", "block@55",     "block@66",
                                            "block@77", "block@88", "block@99"};
    EXPECT_EQ(expected, spy.calls);
    ASSERT_EQ(9u, spy.pens.size());
    EXPECT_EQ(static_cast<UINT>(PS_SOLID), spy.penLook.lopnStyle);
    EXPECT_EQ(0, spy.penLook.lopnWidth.x);
    EXPECT_EQ(kBlockBorder, spy.penLook.lopnColor);
    EXPECT_EQ(kBlock, spy.brushLook.lbColor);
    for (size_t i = 1; i < spy.pens.size(); ++i) {
        EXPECT_EQ(spy.pens[0], spy.pens[i]);
        EXPECT_EQ(spy.brushes[0], spy.brushes[i]);
    }
    // The DC holds its own objects again and the pass's pen and brush are gone.
    EXPECT_EQ(penBefore, ::GetCurrentObject(canvas.Dc(), OBJ_PEN));
    EXPECT_EQ(brushBefore, ::GetCurrentObject(canvas.Dc(), OBJ_BRUSH));
    EXPECT_EQ(0u, ::GetObjectType(spy.pens[0]));
    EXPECT_EQ(0u, ::GetObjectType(spy.brushes[0]));
}
