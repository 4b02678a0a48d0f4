#pragma once
#include <windows.h>

#include <chrono>
#include <functional>

// Waiting on the window thread of a test (Windows only, qb_test_windows).
// Between messages these block in MsgWaitForMultipleObjectsEx; they wake
// for every message and at least every 20 ms to look again at conditions
// that other threads or processes change. A WM_QUIT that the code under test
// posts is taken from the queue and dropped: the test decides when to stop.

// Dispatches this thread's messages until `condition` holds or `limit` has
// passed; returns whether it held. With a condition that never holds it is
// a pause during which the thread's windows stay responsive.
bool PumpUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

// Dispatches this thread's messages until one arrives for which
// `wanted(message)` holds; that one is taken from the queue undispatched
// and stored in `taken`. False if none came within `limit`.
bool PumpUntilMessage(const std::function<bool(const MSG&)>& wanted, MSG& taken,
                      std::chrono::milliseconds limit);

// Dispatches whatever is queued now (sent and posted messages), without
// waiting.
void PumpPending();
