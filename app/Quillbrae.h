#pragma once
#include "base/Names.h"
#include "display/ChartPane.h"
#include "display/FXRatePane.h"
#include "update/UpdateRates.h"
#include "window/App.h"
#include "window/Thread.h"

#include <atomic>
#include <cstdint>
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
    static constexpr UINT TrayIconId = 1;
    static constexpr int IconResource = names::kIconResource;

    static constexpr uint32_t DefaultUpdateInterval = 12000;
    // Anything below the default means "as fast as allowed".
    static constexpr uint32_t ShortestUpdateInterval = 10000;
    // Beyond a day the widget would look dead; a larger value is a typo.
    static constexpr uint32_t LongestUpdateInterval = 24u * 60u * 60u * 1000u;
    // A rate page address longer than this in the settings file is not one.
    static constexpr size_t LongestRateUrl = 2048;

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
    uint32_t Run() override;

    // Adds (or re-adds) the tray icon. Retries while the shell times out,
    // for a bounded while: a shell that comes up later announces itself with
    // "TaskbarCreated", and the icon is added again then.
    bool AddTrayIcon(int iconId);
    void HandlePaneNotify(LPARAM header);
    void ShowPopupMenu();

    FXRatePane ratePane;
    ChartPane chartPane;
    int32_t rateListWidth = 200;
    std::atomic<uint32_t> updateInterval{DefaultUpdateInterval};
    // Set before the worker starts and not changed while it runs.
    std::string rateUrl;
    // "TrustedCertificate" as written in the settings (a PEM or DER file,
    // relative to the executable's folder or absolute); empty for none.
    // Read with rateUrl.
    std::string trustedCertificate;

    // How the last update cycle ended: 0, a negative code of
    // http/HttpFailure.h (HttpFailureText has its words), or the status
    // code of an answer that was neither 2xx nor 304. Any thread.
    int LastUpdateResult() const { return updater.LastResult(); }

private:
    void ReadRateUrl();
    // Reads "TrustedCertificate" and hands the certificate to the updater.
    void ReadTrustedCertificate();
    // Takes the tray icon down without holding up the close: a shell may
    // take its time over it (Wine's waits for the X server to unmap the
    // icon's window), and the window can go meanwhile.
    void RemoveTrayIcon();
    // Starts a window drag as if the missing caption had been pressed.
    void BeginDrag();

    RateUpdater updater;             // the worker's; set up before it starts
    UINT taskbarCreatedMessage = 0;  // "TaskbarCreated", registered at construction
    std::thread trayRemoval;         // owned: joined by the destructor
};
