#pragma once
#include "display/PaneFont.h"
#include "rates/PairFilter.h"
#include "rates/SharedRates.h"
#include "window/BaseWindow.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class Announcer;

// The left-hand pane: one row per currency pair (price, signed change, code),
// a selection bar on the selected row and, at the bottom, the update status
// and the time the pane was created. Rows never run into those lines: when
// there are more than fit, the list scrolls to keep the selected row in
// view. Keys, clicks and the wheel move the selection and tell the parent by
// WM_NOTIFY; a right-button release goes on to the parent. Ctrl+C and
// WM_COPY put the selected pair on the clipboard.
//
// Threads: the worker merges downloads into `rates`; the window thread
// paints and handles input. Both reach the records only through
// rates.Lock(). With a pair filter set, rows and `selected` count the
// records the filter shows, not the whole list.
//
// The selection follows its pair: records may be added later, and a listed
// pair takes its listed place when it appears, so rows move under a
// selected pair. A row chosen (by the user, or by storing into `selected`)
// notes its pair; whenever the pane next looks under the lock, the row is
// moved to wherever that pair now is.
class FXRatePane : public BaseWindow {
public:
    // The selected row. Storing chooses by row; the pane itself only moves
    // it to follow the chosen pair.
    class Selection {
    public:
        Selection& operator=(int32_t row)
        {
            store(row);
            return *this;
        }
        void store(int32_t row)
        {
            value.store(row);
            chosen.store(true);
        }
        int32_t load() const { return value.load(); }

    private:
        friend class FXRatePane;
        std::atomic<int32_t> value{0};
        std::atomic<bool> chosen{true};  // stored since the pane last noted its pair
    };

    // Notification codes sent to the parent (WM_NOTIFY, NMHDR::code).
    static constexpr int selectionChanged = -101;  // LVN_ITEMCHANGED
    static constexpr int selectedRowClicked = -2;  // NM_CLICK

    FXRatePane();
    ~FXRatePane() override;

    // Queues a repaint, then SpeakSelected.
    void Refresh() override;
    // With speech on, announces the selected pair's price text (through
    // `announcer` when there is one, otherwise to the speech program alone),
    // waiting at most speechTimeoutMs: so any thread but the window's. The
    // lock is not held while the text is announced.
    void SpeakSelected();
    bool OnCreate() override;
    LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    // The selected pair as the clipboard gets it: code and price text,
    // "EURUSD 1.0858 - 59"; empty while no row is shown.
    std::string SelectedCopyText() const;

    // Shows only the filter's pairs, in its order (an empty filter: all).
    void SetPairFilter(PairFilter filter);

    // The selected record, or null while no row is shown. Takes the locked
    // list (*rates.Lock()), so the pointer can only be had, and must only be
    // used, while the lock is held.
    FXRate* GetSelectedRate(SharedRates::Records& records) const;
    const FXRate* GetSelectedRate(const SharedRates::Records& records) const;

    // Paints the pane into `dc` for the area given in client coordinates:
    // composed off-screen and copied with one BitBlt. WM_PAINT and
    // WM_PRINTCLIENT both come here.
    void PaintContent(HDC dc, const RECT& area);

    // The status lines' text, drawn in the warning colour when `warning`;
    // `isStale` draws the rows grey. Window thread only.
    void SetStatus(const std::string& text, bool warning, bool isStale);
    // The first row shown, as last painted. Window thread only.
    int32_t FirstVisibleRow() const { return firstRow; }

    SharedRates rates;
    int32_t rowHeight = 16;
    // Mutable: looking under the lock may move it after its pair.
    mutable Selection selected;
    COLORREF fallColor = 0xFF0000;     // blue
    COLORREF riseColor = 0x0000FF;     // red
    COLORREF staleColor = 0x808080;    // grey: every row once the rates are stale
    COLORREF warningColor = 0x0050D0;  // dark orange: the status after a failure
    std::string startTime;             // local time of creation; window thread only
    std::atomic<bool> speechEnabled{false};
    // Borrowed: the owner's, set before the worker starts and kept while it runs.
    Announcer* announcer = nullptr;

private:
    PairFilter pairFilter;  // guarded by rates' lock

    // The positions of the shown records, in row order; under the lock.
    std::vector<size_t> ShownRows(const SharedRates::Records& records) const;
    // Under the lock: the selected row, moved first to where the chosen
    // pair now is (or, when a row was chosen since, the pair there noted).
    int32_t SelectedRow(const SharedRates::Records& records, const std::vector<size_t>& shown) const;
    mutable std::string selectedCode;  // guarded by rates' lock: the chosen pair; "" while none
    void MoveSelection(WPARAM key);
    void TurnWheel(int delta);
    void SelectRowAt(LPARAM point);

    // Window thread only.
    PaneFont rowFont{Font::Bold};  // every line's font, at the pane's DPI
    std::string statusText;
    bool statusWarning = false;
    bool stale = false;
    int32_t firstRow = 0;  // the first row shown
    // How many rows the last paint had room for, and where they ended;
    // until the first paint, room for all.
    int32_t visibleRows = INT32_MAX;
    int32_t rowsBottom = INT32_MAX;
};
