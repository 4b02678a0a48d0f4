#pragma once
#include "app/Settings.h"
#include "app/SettingsDialog.h"
#include "app/TrayIcon.h"
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
#include "window/UiTask.h"
#include "window/UniqueHandle.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The widget: the main window (rate list on the left, chart on the right,
// no caption, no taskbar button, always on top), the tray icon and its menu,
// and the worker thread that downloads the rates every updateInterval
// milliseconds. Its settings are those of app/Settings.h.
class Quillbrae : public App, public Thread {
public:
    static constexpr UINT UseSpeechCommand = names::kUseSpeechCommand;
    static constexpr UINT ExitCommand = names::kExitCommand;
    static constexpr UINT StartWithWindowsCommand = names::kStartWithWindowsCommand;
    static constexpr UINT UpdateNowCommand = names::kUpdateNowCommand;
    static constexpr UINT SettingsCommand = names::kSettingsCommand;
    static constexpr UINT TrayIconId = 1;
    // Fires when the rates shown are due to go stale.
    static constexpr UINT_PTR StaleTimerId = 2;
    static constexpr int IconResource = names::kIconResource;
    // After a wake, the cycle waits this long for the network to come back.
    static constexpr uint32_t WakeSettleMs = 2000;
    // Resume messages closer together than this belong to one wake.
    static constexpr uint32_t OneWakeMs = 30000;
    // The histories are written to disk this often, and at close.
    static constexpr uint32_t HistorySaveMs = Settings::DefaultHistorySaveMs;

    static constexpr uint32_t DefaultUpdateInterval = Settings::DefaultUpdateInterval;
    static constexpr uint32_t PublicUpdateInterval = Settings::PublicUpdateInterval;
    static constexpr uint32_t ShortestUpdateInterval = Settings::ShortestUpdateInterval;
    static constexpr uint32_t LongestUpdateInterval = Settings::LongestUpdateInterval;
    static constexpr size_t LongestRateUrl = Settings::LongestRateUrl;

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

    void HandlePaneNotify(LPARAM header);
    void OnDpiChanged(const RECT* suggested);
    void ShowPopupMenu();
    // The status line as the window's text shows it after "Quillbrae - ";
    // window thread only.
    std::string StatusText() const { return shownStatus; }

    // The open settings dialog, whose messages the message loop routes
    // through IsDialogMessage; null when it is closed.
    HWND SettingsWindow() const { return settingsDialog.Window(); }
    // Opens the settings dialog, or brings the open one to the front.
    void OpenSettings();
    // Takes the dialog's values at once: sources and interval from the next
    // cycle, which starts now; pairs, alerts and the window's look now.
    // Window thread only.
    void ApplySettings(const SettingsValues& values);

    // Tells the user why nothing is spoken; an empty `problem` takes the
    // notice away. Window thread only.
    void ShowSpeechProblem(const std::string& problem);

    // What other threads hand to the window thread; declared before
    // everything whose threads post to it, so that it goes last.
    UiTask ui;
    // The icon in the notification area, with the status as its tip.
    TrayIcon tray{TrayIconId, TrayCallbackMessage};
    FXRatePane ratePane;
    ChartPane chartPane;
    // Where the spoken prices go; the rate pane borrows it.
    Announcer announcer;
    int32_t rateListWidth = 200;  // at 96 DPI
    std::atomic<uint32_t> updateInterval{DefaultUpdateInterval};
    // Written on the window thread only, under sourceMutex; the worker reads
    // it under the mutex at the start of each cycle.
    std::string rateUrl;
    // The sources read when the settings name none (names::kDefaultRateUrl);
    // set before Create. Tests point it at loopback.
    std::string defaultRateUrl = names::kDefaultRateUrl;
    RateFormat rateFormat = RateFormat::Auto;
    // How often the worker saves the histories ("HistorySaveTimer"; tests
    // make it short).
    uint32_t historySaveMs = HistorySaveMs;
    // The settings file: read by Create, written back at close. Window
    // thread only.
    Settings settings;

    // How the last update cycle's download ended: 0, a negative code of
    // http/HttpFailure.h (HttpFailureText has its words), or the status
    // code of an answer that was neither 2xx nor 304. Any thread.
    int LastUpdateResult() const { return updater.LastResult(); }

private:
    // Takes the address, format, pairs, alerts and certificate from the
    // settings; before the worker starts.
    void TakeSettings();
    // Reads the file "TrustedCertificate" names and hands the certificate
    // to the updater.
    void ReadTrustedCertificate();
    // Worker thread: checks the latest prices against the alert levels and
    // reports each crossing by speech (when on) and by the tray balloon.
    void CheckAlerts();
    // Starts a window drag as if the missing caption had been pressed.
    void BeginDrag();

    // Saves the dialog's values with the rest of the settings, replacing
    // the file whole; a failed save is said on the status line.
    void SaveSettings(const SettingsValues& values);
    // Puts the window on top of others or not, and makes it see-through
    // (a layered window) below 100 % opacity.
    void ShowWindowLook();
    // The codes of the records held now, in the list's order.
    std::vector<std::string> OfferedPairs();
    // The sources as the worker takes them at the start of a cycle.
    std::string CurrentRateUrl();

    std::mutex sourceMutex;  // guards rateUrl and wantedPairs against the worker's reading
    // The codes of "Pairs", which the worker makes as crosses when a
    // document does not quote them; guarded by sourceMutex.
    std::vector<std::string> wantedPairs;
    // "HistoryUrl"; guarded by sourceMutex.
    std::string historyUrl;
    std::mutex alertsMutex;  // guards alerts: the worker checks, the dialog replaces
    PriceAlerts alerts;      // guarded by alertsMutex
    SettingsDialog settingsDialog;
    // Worker: notes a cycle's outcome and hands the window thread a copy.
    void RecordOutcome(const UpdateOutcome& outcome);
    // Window thread: brings the window text, the tray tip, the rate pane's
    // status lines and the stale colours in step with the status.
    void ShowStatus();

    // quillbrae.history beside the settings file.
    std::string HistoryPath() const;
    // Window thread, before the worker starts: reads the saved histories
    // into the list, so that the last prices and chart show at once.
    void LoadSavedHistories();
    // Writes the histories: the list is encoded under its lock, written
    // without it. Called by the worker, and at close once it is gone.
    void SaveHistoriesNow();
    // Worker: the source's own history for each dated source, read at
    // start and once a day.
    // `read` holds when each was last asked (UTC ms), by address.
    void RefreshSourceHistories(const std::vector<std::string>& urls, const std::string& otherHistoryUrl,
                                std::map<std::string, int64_t>& read);

    RateUpdater updater;  // the worker's; set up before it starts
    // Owned: auto-reset; set by "&Update now" and on waking, waited on by the worker.
    UniqueHandle updateNowEvent;
    // Window thread: tells the worker that the computer woke from sleep;
    // the second word of the same wake does nothing.
    void OnResume();
    std::atomic<bool> resumed{false};  // set on waking, taken by the worker
    uint32_t lastResume = 0;           // window thread only: when OnResume last told the worker
    bool resumedBefore = false;        // window thread only
    UpdateStatus workerStatus;         // the worker's own
    UpdateStatus status;               // window thread only: the worker's, as last handed over
    std::string shownStatus;           // window thread only: the text last shown
    std::string speechProblem;         // window thread only: why nothing is spoken; "" when all is well
    std::string sourceProblem;         // window thread only: addresses of "RateUrl" left out; "" for none
    std::string settingsProblem;       // window thread only: why the settings were not saved; "" when saved
    std::string historyProblem;  // window thread only: why the saved histories were not read; "" when read
    // Window thread only: the list holds saved prices; they show as stale
    // until the first update succeeds.
    bool showingSaved = false;
};
