#pragma once
#include "display/GdiObjects.h"

#include <windows.h>

// The panes compose each paint in memory and copy it out with one BitBlt,
// so the window never shows a half-drawn state. The buffer spans from the
// client origin to the bottom-right corner of the painted area, so client
// coordinates can be used unchanged while drawing.
class OffscreenBuffer {
public:
    OffscreenBuffer(HDC target, const RECT& area);
    OffscreenBuffer(const OffscreenBuffer&) = delete;
    OffscreenBuffer& operator=(const OffscreenBuffer&) = delete;

    // False when the area is empty or the memory context or bitmap could not
    // be made; then there is nothing to draw into and nothing is copied.
    bool Ready() const { return ready; }
    HDC Get() const { return memory.Get(); }

    // Fills the painted area with white, the panes' background.
    void Clear() const;

    // Copies the painted area to the same place in the target context.
    void CopyToTarget() const;

private:
    HDC target;  // borrowed
    RECT area;
    MemoryDC memory;
    OwnedBitmap bitmap;
    SelectGuard selection;  // declared last: puts the old bitmap back first
    bool ready;
};
