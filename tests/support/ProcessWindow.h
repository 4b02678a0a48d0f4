#pragma once
#include <windows.h>

// The first top-level window of class `className` that belongs to process
// `processId` (ChildProcess::Id), or null. With `visibleOnly`, hidden
// windows do not count. Windows only (qb_test_windows).
HWND FindProcessWindow(unsigned long processId, const char* className, bool visibleOnly);

// How many visible top-level windows of the widget's class there are, of
// any process. Windows only (qb_test_windows).
int VisibleWidgetWindows();
