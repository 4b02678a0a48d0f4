#include "display/OffscreenBuffer.h"

namespace {

HBITMAP MakeBitmap(HDC target, const RECT& area)
{
    if (target == nullptr || area.right <= 0 || area.bottom <= 0)
        return nullptr;
    return CreateCompatibleBitmap(target, area.right, area.bottom);
}

}  // namespace

OffscreenBuffer::OffscreenBuffer(HDC targetDC, const RECT& paintArea)
    : target(targetDC),
      area(paintArea),
      memory(targetDC),
      bitmap(MakeBitmap(targetDC, paintArea)),
      selection(memory.Get(), bitmap.Get()),
      ready(memory.Get() != nullptr && bitmap && selection.Previous() != nullptr)
{
}

void OffscreenBuffer::Clear() const
{
    if (ready)
        FillRect(memory.Get(), &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void OffscreenBuffer::CopyToTarget() const
{
    // Only the painted area: the rest of the buffer was never drawn.
    if (ready)
        BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, memory.Get(), area.left,
               area.top, SRCCOPY);
}
