#pragma once
#include "display/PaneFont.h"
#include "rates/SharedRates.h"
#include "window/BaseWindow.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>

class FXRatePane;

// The right-hand pane: the chart of one pair (DrawRateChart), the one the
// rate pane has selected. Mouse messages go on to the parent unchanged, so
// dragging and the popup menu work over the chart too.
//
// The pane keeps the shown pair's code, never a pointer into the list: records
// may be added at any time. A paint takes the list's lock just long enough
// to find the record by its code and copy it, then draws the copy: it never
// waits on the network.
class ChartPane : public BaseWindow {
public:
    ChartPane();
    ~ChartPane() override;

    using BaseWindow::CreateChild;
    bool CreateChild(HWND parent) override;  // class "RatePane"
    void SetBounds(int x, int y, int width, int height) override;
    void Refresh() override;
    LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    // Shows the rate pane's selected pair (none while its list is empty),
    // from that pane's list, taking the list's lock for the change. The
    // owner calls it after every update cycle and on every selection change.
    void ShowSelectedRate(FXRatePane& ratePane);
    // Shows the pair `code` of `rateList` (none for ""), whether or not the
    // list holds it yet.
    void ShowCode(const std::string& code);
    std::string ShownCode() const;

    // Draws the line grey while the rates are stale; window thread only.
    void SetStale(bool isStale);

    // Paints the pane into `dc` for the area given in client coordinates:
    // composed off-screen and copied with one BitBlt. WM_PAINT and
    // WM_PRINTCLIENT both come here.
    void PaintContent(HDC dc, const RECT& area);

    // The tooltip that shows the sample nearest the pointer (a tracking
    // tool, shown while the pointer is over the chart's samples); null
    // until the pane is created. Destroyed with the pane, its owner.
    HWND SampleTip() const { return sampleTip; }

    // Not owned: the list the shown pair is found in. Set by the owner (or
    // by ShowSelectedRate); atomic, as a paint may read it meanwhile.
    std::atomic<SharedRates*> rateList{nullptr};

private:
    bool stale = false;              // window thread only
    PaneFont labelFont{Font::Bold};  // window thread only: kept from paint to paint

    // The sample nearest the pointer at client position (x, y), in the
    // tooltip beside it; the tooltip hidden when there is none.
    void PointAt(int x, int y);
    void HideSampleTip();
    HWND sampleTip = nullptr;
    bool trackingLeave = false;  // asked for WM_MOUSELEAVE
    bool tipShown = false;
    std::string tipText;  // what the tooltip says

    // Copies the shown record into shownCopy under the lock; false when
    // nothing is shown or the list does not hold the pair.
    bool CopyShownRate();

    // The shown pair; guarded by rateList's lock once there is a list.
    std::string shownCode;

    // The record as the last paint copied it, its history fitted to the
    // plot's columns (display/FitHistory.h); painting's own. It stays from
    // one paint to the next so that its storage is reused: under Wine a
    // fresh copy of a long history each paint (its memory mapped and
    // unmapped every time) costs more than drawing it.
    std::optional<FXRate> shownCopy;
};
