// Painting through the off-screen bitmap: made on the first paint, kept between paints, dropped on
// WM_SIZE with the DC's own bitmap selected back, and made again at the new size.
#include <gtest/gtest.h>

#include "busy_test_support.h"

namespace {
SIZE BitmapSize(HGDIOBJ bitmap) {
    BITMAP bm{};
    ::GetObjectW(bitmap, sizeof(bm), &bm);
    return {bm.bmWidth, bm.bmHeight};
}
} // namespace

TEST(BusyPaint, FirstPaintMakesTheOffscreenBitmapAndLaterPaintsReuseIt) {
    BoundBusyCtrl bound(110, 12, 10, 2);
    CBusyProgressCtrl& ctrl = bound.ctrl;
    UseTestColors(ctrl);
    EXPECT_EQ(nullptr, ctrl.m_dcMem.GetSafeHdc());
    bound.Paint();
    HDC dc = ctrl.m_dcMem.GetSafeHdc();
    ASSERT_NE(nullptr, dc);
    HGDIOBJ bitmap = ctrl.m_bmpMem.GetSafeHandle();
    EXPECT_EQ(bitmap, ::GetCurrentObject(dc, OBJ_BITMAP));
    EXPECT_NE(nullptr, ctrl.m_pOldBitmap);
    EXPECT_EQ(110, BitmapSize(bitmap).cx);
    EXPECT_EQ(12, BitmapSize(bitmap).cy);
    EXPECT_EQ("o o A o o o o o o o", DescribeRow(dc, 110, 5));
    EXPECT_FALSE(bound.HasUpdateRegion());

    ctrl.m_nPos = 5;
    bound.Paint();
    EXPECT_EQ(dc, ctrl.m_dcMem.GetSafeHdc());
    EXPECT_EQ(bitmap, ctrl.m_bmpMem.GetSafeHandle());
    EXPECT_EQ("o o o o o A o o o o", DescribeRow(dc, 110, 5));
}

TEST(BusyPaint, SizeDropsTheBitmapAndTheNextPaintUsesTheNewSizeWithTheOldBlocks) {
    BoundBusyCtrl bound(110, 12);
    CBusyProgressCtrl& ctrl = bound.ctrl;
    UseTestColors(ctrl);
    bound.Paint();
    HDC oldDc = ctrl.m_dcMem.GetSafeHdc();
    HGDIOBJ oldBitmap = ctrl.m_bmpMem.GetSafeHandle();
    HBITMAP ownBitmap = ctrl.m_pOldBitmap;

    RECT window;
    ::GetWindowRect(bound.Hwnd(), &window);
    ::SetWindowPos(bound.Hwnd(), nullptr, 0, 0, window.right - window.left + 110,
                   window.bottom - window.top + 4, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(220, ctrl.m_rcClient.right);
    EXPECT_EQ(16, ctrl.m_rcClient.bottom);
    EXPECT_EQ(nullptr, ctrl.m_dcMem.GetSafeHdc());
    EXPECT_EQ(nullptr, ctrl.m_bmpMem.GetSafeHandle());
    EXPECT_EQ(nullptr, ctrl.m_pOldBitmap);
    // The bitmap was freed, which GDI refuses while a DC still holds it, and the DC went with it;
    // the DC's own bitmap is a stock object that outlives them both.
    EXPECT_EQ(0u, ::GetObjectType(oldBitmap));
    EXPECT_EQ(0u, ::GetObjectType(oldDc));
    EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), ::GetObjectType(ownBitmap));
    EXPECT_EQ(10.0, ctrl.m_dBlockWidth);

    bound.Paint();
    ASSERT_NE(nullptr, ctrl.m_dcMem.GetSafeHdc());
    EXPECT_EQ(220, BitmapSize(ctrl.m_bmpMem.GetSafeHandle()).cx);
    EXPECT_EQ(16, BitmapSize(ctrl.m_bmpMem.GetSafeHandle()).cy);
    EXPECT_EQ("A o o o o o o o o o", DescribeRow(ctrl.m_dcMem, 220, 5));
    EXPECT_EQ(kBack, ::GetPixel(ctrl.m_dcMem, 150, 5)); // right of the old-width row
    EXPECT_EQ(kBlockBorder, ::GetPixel(ctrl.m_dcMem, 11, 11));
    EXPECT_EQ(kBack, ::GetPixel(ctrl.m_dcMem, 11, 13)); // below the old-height blocks

    ctrl.SendMessage(BPM_RECALCLAYOUT);
    EXPECT_EQ(21.0, ctrl.m_dBlockWidth);
    EXPECT_EQ(16.0, ctrl.m_dBlockHeight);
}

TEST(BusyPaint, DestructorReleasesTheOffscreenBitmap) {
    HGDIOBJ bitmap = nullptr;
    {
        BoundBusyCtrl bound(110, 12);
        bound.Paint();
        bitmap = bound.ctrl.m_bmpMem.GetSafeHandle();
        ASSERT_EQ(static_cast<DWORD>(OBJ_BITMAP), ::GetObjectType(bitmap));
    }
    EXPECT_EQ(0u, ::GetObjectType(bitmap));
}
