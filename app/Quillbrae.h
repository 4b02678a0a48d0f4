#pragma once
#include "app/SettingsDialog.h"
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
    static constexpr UINT SettingsCommand = names::kSettingsCommand;
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

    FXRatePane ratePane;
    ChartPane chartPane;
    // Where the spoken prices go; the rate pane borrows it.
    Announcer announcer;
    int32_t rateListWidth = 200;  // at 96 DPI
    std::atomic<uint32_t> updateInterval{DefaultUpdateInterval};
    // Written on the window thread only, under sourceMutex; the worker reads
    // it under the mutex at the start of each cycle.
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

    // Writes the dialog's values to the settings file; the one place that
    // does, so that a safer way of saving replaces it whole.
    void SaveSettings(const SettingsValues& values);
    // Puts the window on top of others or not, and makes it see-through
    // (a layered window) below 100 % opacity.
    void ShowWindowLook();
    // The codes of the records held now, in the list's order.
    std::vector<std::string> OfferedPairs();

    std::mutex sourceMutex;    // guards rateUrl against the worker's reading
    std::mutex alertsMutex;    // guards alerts: the worker checks, the dialog replaces
    PriceAlerts alerts;        // guarded by alertsMutex
    std::string alertsText;    // the alerts as the dialog shows them; window thread only
    bool alwaysOnTop = true;   // window thread only
    int opacityPercent = 100;  // window thread only
    SettingsDialog settingsDialog;
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
    UpdateStatus status;        // guarded by statusMutex
    std::string shownStatus;    // window thread only: the text last shown
    std::string speechProblem;  // window thread only: why nothing is spoken; "" when all is well
    std::thread trayRemoval;    // owned: joined by the destructor
};
