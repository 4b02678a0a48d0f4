#include "display/GdiObjects.h"
#include "display/OffscreenBuffer.h"
#include "tests/display/DisplayTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(SelectGuard, PutsThePreviousObjectBackAndLetsTheOwnerDeleteIt)
{
    Canvas canvas(8, 8);
    HGDIOBJ originalPen = GetCurrentObject(canvas.Get(), OBJ_PEN);
    HPEN made;
    {
        OwnedPen pen(CreatePen(PS_SOLID, 1, 0x0000FF));
        made = pen.Get();
        ASSERT_NE(made, nullptr);
        SelectGuard selection(canvas.Get(), pen.Get());
        EXPECT_EQ(selection.Previous(), originalPen);
        EXPECT_EQ(GetCurrentObject(canvas.Get(), OBJ_PEN), made);
    }
    EXPECT_EQ(GetCurrentObject(canvas.Get(), OBJ_PEN), originalPen);
    // Deselected first, so the owner's DeleteObject really freed it.
    EXPECT_EQ(GetObjectType(made), 0u);
}

TEST(SelectGuard, NestedGuardsUnwindInReverseOrder)
{
    Canvas canvas(8, 8);
    HGDIOBJ originalBrush = GetCurrentObject(canvas.Get(), OBJ_BRUSH);
    OwnedBrush red(CreateSolidBrush(0x0000FF));
    OwnedBrush blue(CreateSolidBrush(0xFF0000));
    {
        SelectGuard outer(canvas.Get(), red.Get());
        {
            SelectGuard inner(canvas.Get(), blue.Get());
            EXPECT_EQ(inner.Previous(), red.Get());
        }
        EXPECT_EQ(GetCurrentObject(canvas.Get(), OBJ_BRUSH), red.Get());
    }
    EXPECT_EQ(GetCurrentObject(canvas.Get(), OBJ_BRUSH), originalBrush);
}

TEST(SelectGuard, SelectingNothingChangesNothing)
{
    Canvas canvas(8, 8);
    HGDIOBJ originalFont = GetCurrentObject(canvas.Get(), OBJ_FONT);
    {
        SelectGuard selection(canvas.Get(), nullptr);
        EXPECT_EQ(selection.Previous(), nullptr);
    }
    EXPECT_EQ(GetCurrentObject(canvas.Get(), OBJ_FONT), originalFont);
}

TEST(GdiObject, DeletesOnceAndMovesOwnership)
{
    OwnedBrush first(CreateSolidBrush(0x00FF00));
    HBRUSH handle = first.Get();
    ASSERT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BRUSH));

    OwnedBrush second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.Get(), handle);

    OwnedBrush third;
    third = std::move(second);
    EXPECT_EQ(third.Get(), handle);
    EXPECT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BRUSH));

    third.Reset();
    EXPECT_EQ(GetObjectType(handle), 0u);
    EXPECT_FALSE(third);
}

TEST(OffscreenBuffer, CopiesOnlyThePaintedArea)
{
    Canvas canvas(64, 64);
    RECT area{10, 12, 40, 44};
    {
        OffscreenBuffer buffer(canvas.Get(), area);
        ASSERT_TRUE(buffer.Ready());
        buffer.Clear();
        RECT mark{20, 20, 24, 24};
        OwnedBrush red(CreateSolidBrush(0x0000FF));
        FillRect(buffer.Get(), &mark, red.Get());
        EXPECT_EQ(canvas.Pixel(20, 20), Canvas::sentinel);  // nothing shows before the copy
        buffer.CopyToTarget();
    }
    EXPECT_EQ(canvas.Pixel(21, 21), 0x0000FFu);
    EXPECT_EQ(canvas.Pixel(11, 13), 0xFFFFFFu);
    EXPECT_EQ(canvas.Pixel(39, 43), 0xFFFFFFu);
    EXPECT_EQ(canvas.Pixel(5, 5), Canvas::sentinel);
    EXPECT_EQ(canvas.Pixel(40, 20), Canvas::sentinel);
    EXPECT_EQ(canvas.Pixel(20, 44), Canvas::sentinel);
}

TEST(OffscreenBuffer, AnEmptyAreaIsNotReadyAndCopiesNothing)
{
    Canvas canvas(16, 16);
    for (RECT area : {RECT{0, 0, 0, 10}, RECT{0, 0, 10, 0}, RECT{0, 0, -5, -5}}) {
        OffscreenBuffer buffer(canvas.Get(), area);
        EXPECT_FALSE(buffer.Ready());
        buffer.Clear();
        buffer.CopyToTarget();
    }
    EXPECT_TRUE(canvas.AllColor(canvas.Bounds(), Canvas::sentinel));
}

}  // namespace
