#pragma once
#include "rates/SharedRates.h"
#include "window/BaseWindow.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

class Announcer;

// The left-hand pane: one row per currency pair (price, signed change, code),
// a selection bar on the selected row and, below the rows, the time the pane
// was created. Keys and clicks move the selection and tell the parent by
// WM_NOTIFY; a right-button release goes on to the parent.
//
// Threads: the worker merges downloads into `rates` and calls Refresh; the
// window thread paints and handles input. Both reach the records only through
// rates.Lock(). `selected` is written only by the window thread and only
// while it holds that lock, so under the lock 0 <= selected < size holds
// whenever the list is not empty.
class FXRatePane : public BaseWindow {
public:
    // Notification codes sent to the parent (WM_NOTIFY, NMHDR::code).
    static constexpr int selectionChanged = -101;    // LVN_ITEMCHANGED
    static constexpr int selectedRowClicked = -2;    // NM_CLICK

    FXRatePane();
    ~FXRatePane() override;

    // Queues a repaint and, with speech on, announces the selected pair's
    // price text (through `announcer` when there is one, otherwise to the
    // speech program alone), waiting at most speechTimeoutMs. Runs on the
    // worker thread; the lock is not held while the text is announced.
    void Refresh() override;
    bool OnCreate() override;
    LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    // The selected record, or null while the list is empty. Takes the locked
    // list (*rates.Lock()), so the pointer can only be had, and must only be
    // used, while the lock is held.
    FXRate* GetSelectedRate(SharedRates::Records& records) const;
    const FXRate* GetSelectedRate(const SharedRates::Records& records) const;

    // Paints the pane into `dc` for the area given in client coordinates:
    // composed off-screen and copied with one BitBlt. WM_PAINT and
    // WM_PRINTCLIENT both come here.
    void PaintContent(HDC dc, const RECT& area);

    SharedRates rates;
    int32_t rowHeight = 16;
    std::atomic<int32_t> selected{0};
    COLORREF fallColor = 0xFF0000;  // blue
    COLORREF riseColor = 0x0000FF;  // red
    std::string startTime;          // local time of creation; window thread only
    std::atomic<bool> speechEnabled{false};
    // Borrowed: the owner's, set before the worker starts and kept while it runs.
    Announcer* announcer = nullptr;

private:
    void MoveSelection(WPARAM key);
    void SelectRowAt(LPARAM point);
};
