#pragma once
#include "base/Names.h"
#include "display/Announcer.h"
#include "display/ChartPane.h"
#include "display/FXRatePane.h"
#include "rates/PriceAlerts.h"
#include "rates/RateFormat.h"
#include "update/UpdateRates.h"
#include "update/UpdateStatus.h"
#include "window/App.h"
#include "window/Thread.h"
#include "window/UniqueHandle.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The widget: the main window (rate list on the left, chart on the right,
// no caption, no taskbar button, always on top), the tray icon and its menu,
// and the worker thread that downloads the rates every updateInterval
// milliseconds. Settings live in section "Quillbrae" of the settings file.
class Quillbrae : public App, public Thread {
public:
    static constexpr UINT UseSpeechCommand = names::kUseSpeechCommand;
    static constexpr UINT ExitCommand = names::kExitCommand;
    static constexpr UINT StartWithWindowsCommand = names::kStartWithWindowsCommand;
    static constexpr UINT UpdateNowCommand = names::kUpdateNowCommand;
    // Posted by the worker after each cycle: the status has changed.
    static constexpr UINT StatusChangedMessage = WM_APP + 11;
    static constexpr UINT TrayIconId = 1;
    // Fires when the rates shown are due to go stale.
    static constexpr UINT_PTR StaleTimerId = 2;
    static constexpr int IconResource = names::kIconResource;
    // Posted by the worker when alert messages wait for the tray balloon.
    static constexpr UINT AlertMessage = WM_APP + 1;
    // Room for the section "Alerts"; a longer one loses its last entries.
    static constexpr DWORD AlertSectionSize = 16384;
    // Posted by the system voice's thread when the voice fails.
    static constexpr UINT SpeechProblemMessage = WM_APP + 2;

    static constexpr uint32_t DefaultUpdateInterval = 12000;
    // Without "UpdateTimer" and without "RateUrl": the public sources change
    // once a working day, and are asked no more often than this.
    static constexpr uint32_t PublicUpdateInterval = 10u * 60u * 1000u;
    // Anything below the default means "as fast as allowed".
    static constexpr uint32_t ShortestUpdateInterval = 10000;
    // Beyond a day the widget would look dead; a larger value is a typo.
    static constexpr uint32_t LongestUpdateInterval = 24u * 60u * 60u * 1000u;
    // A rate page address longer than this in the settings file is not one.
    static constexpr size_t LongestRateUrl = 2048;
    // A "Pairs" value longer than this is cut there (64 codes fit easily).
    static constexpr size_t LongestPairList = 1024;

    Quillbrae();
    ~Quillbrae() override;

    bool Create() override;
    void OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnClose() override;
    bool OnCreate() override;
    LRESULT OnSize(WPARAM sizeType, LPARAM lParam) override;
    LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    void LoadPlacement() override;
    void SavePlacement() override;
    bool OnTrayNotify(LPARAM mouseMessage) override;
    bool OnTimer(WPARAM timerId, LPARAM lParam) override;
    uint32_t Run() override;

    // Adds (or re-adds) the tray icon. Retries while the shell times out,
    // for a bounded while: a shell that comes up later announces itself with
    // "TaskbarCreated", and the icon is added again then.
    bool AddTrayIcon(int iconId);
    void HandlePaneNotify(LPARAM header);
    void OnDpiChanged(const RECT* suggested);
    void ShowPopupMenu();
    // The status line as the window's text shows it after "Quillbrae - ";
    // window thread only.
    std::string StatusText() const { return shownStatus; }

    // Tells the user why nothing is spoken; an empty `problem` takes the
    // notice away. Window thread only.
    void ShowSpeechProblem(const std::string& problem);

    FXRatePane ratePane;
    ChartPane chartPane;
    // Where the spoken prices go; the rate pane borrows it.
    Announcer announcer;
    int32_t rateListWidth = 200;  // at 96 DPI
    std::atomic<uint32_t> updateInterval{DefaultUpdateInterval};
    // The sources read when the settings name none (names::kDefaultRateUrl);
    // set before Create. Tests point it at loopback.
    std::string defaultRateUrl = names::kDefaultRateUrl;
    // "RateUrl" as read, or defaultRateUrl when the settings name none: one
    // address or several separated by blanks, in order of preference. Set
    // before the worker starts and not changed while it runs.
    std::string rateUrl;
    RateFormat rateFormat = RateFormat::Auto;
    // The "Pairs" value as it is written back at close; empty when unset.
    std::string pairList;
    // "TrustedCertificate" as written in the settings (a PEM or DER file,
    // relative to the executable's folder or absolute); empty for none.
    // Read with rateUrl.
    std::string trustedCertificate;

    // How the last update cycle's download ended: 0, a negative code of
    // http/HttpFailure.h (HttpFailureText has its words), or the status
    // code of an answer that was neither 2xx nor 304. Any thread.
    int LastUpdateResult() const { return updater.LastResult(); }

private:
    void ReadRateUrl();
    // The addresses of rateUrl, in order (at least one), and what was left
    // out of it, in words for the status line ("" when nothing was).
    std::vector<std::string> rateSources;
    std::string sourceProblem;
    bool rateUrlSet = false;  // the settings name the sources: written back at close
    void ReadRateFormat();
    void ReadPairFilter();
    void ReadAlerts();
    // Reads "TrustedCertificate" and hands the certificate to the updater.
    void ReadTrustedCertificate();
    // Worker thread: checks the latest prices against the alert levels and
    // reports each crossing by speech (when on) and by the tray balloon.
    void CheckAlerts();
    void ShowAlertBalloon();
    // Takes the tray icon down without holding up the close: a shell may
    // take its time over it (Wine's waits for the X server to unmap the
    // icon's window), and the window can go meanwhile.
    void RemoveTrayIcon();
    // Starts a window drag as if the missing caption had been pressed.
    void BeginDrag();

    // Read before the worker starts; from then on the worker's alone.
    PriceAlerts alerts;
    std::mutex balloonLock;
    std::string balloonText;  // guarded by balloonLock; at most one balloon's worth
    // Worker: notes a cycle's outcome for the window thread and tells it.
    void RecordOutcome(const UpdateOutcome& outcome);
    // Window thread: brings the window text, the tray tip, the rate pane's
    // status lines and the stale colours in step with the status.
    void ShowStatus();
    void SetTrayTip(const std::string& text);

    RateUpdater updater;             // the worker's; set up before it starts
    UINT taskbarCreatedMessage = 0;  // "TaskbarCreated", registered at construction
    UniqueHandle updateNowEvent;     // owned: auto-reset; set by "&Update now", waited on by the worker
    mutable std::mutex statusMutex;
    UpdateStatus status;             // guarded by statusMutex
    std::string shownStatus;         // window thread only: the text last shown
    std::string speechProblem;       // window thread only: why nothing is spoken; "" when all is well
    std::thread trayRemoval;         // owned: joined by the destructor
};
