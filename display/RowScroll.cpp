#include "display/RowScroll.h"

#include <algorithm>

namespace {

int32_t Clamp(int64_t index, int32_t count)
{
    return static_cast<int32_t>(std::clamp<int64_t>(index, 0, std::max(count - 1, 0)));
}

} // namespace

int32_t FirstRowInView(int32_t first, int32_t selected, int32_t count, int32_t visible)
{
    visible = std::max(visible, 1);
    if (selected < first)
        first = selected;
    else if (int64_t{selected} >= int64_t{first} + visible)
        first = selected - visible + 1;
    first = std::min(first, std::max(count - visible, 0));
    return std::max(first, 0);
}

int32_t SelectionAfterKey(WPARAM key, int32_t selected, int32_t count, int32_t visible)
{
    if (count <= 0)
        return 0;
    // A page keeps one row of the last page in view, as list boxes do.
    int64_t page = std::max(visible - 1, 1);
    switch (key) {
    case VK_DOWN:
        return selected + 1 >= count ? 0 : selected + 1;
    case VK_UP:
        return selected - 1 < 0 ? count - 1 : selected - 1;
    case VK_NEXT:
        return Clamp(int64_t{selected} + page, count);
    case VK_PRIOR:
        return Clamp(int64_t{selected} - page, count);
    case VK_HOME:
        return 0;
    case VK_END:
        return count - 1;
    default:
        return Clamp(selected, count);
    }
}

int32_t SelectionAfterWheel(int delta, int32_t selected, int32_t count)
{
    // Part notches (fine-grained wheels) add up to a row only when whole.
    int notches = delta / WHEEL_DELTA;
    return Clamp(int64_t{selected} - notches, count);
}
