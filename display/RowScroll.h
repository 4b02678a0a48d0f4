#pragma once
#include <windows.h>

#include <cstdint>

// Which part of a list a pane shows and how keys and the wheel move the
// selection in it, for a pane that shows `visible` rows of `count`: the
// selected row is always among the rows shown.

// The first row to show: `first` when the selected row is already in view,
// else moved by as little as brings it in; never so far down that rows
// could be shown and are not.
int32_t FirstRowInView(int32_t first, int32_t selected, int32_t count, int32_t visible);

// The selection after `key`: the arrows move by one and wrap around, Page
// Up and Page Down by a page, Home and End to the ends; those stop at the
// ends. Other keys leave it. An empty list keeps 0.
int32_t SelectionAfterKey(WPARAM key, int32_t selected, int32_t count, int32_t visible);

// The selection after the wheel turned by `delta` (WM_MOUSEWHEEL, 120 a
// notch; away from the user is up): one row a notch, stopping at the ends.
int32_t SelectionAfterWheel(int delta, int32_t selected, int32_t count);
