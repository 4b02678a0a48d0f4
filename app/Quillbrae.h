#pragma once
#include "base/Names.h"
#include "display/Announcer.h"
#include "display/ChartPane.h"
#include "display/FXRatePane.h"
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
    // Posted by the system voice's thread when the voice fails.
    static constexpr UINT SpeechProblemMessage = WM_APP + 1;

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
    // Tells the user why nothing is spoken; an empty `problem` takes the
    // notice away. Window thread only.
    void ShowSpeechProblem(const std::string& problem);

    FXRatePane ratePane;
    ChartPane chartPane;
    // Where the spoken prices go; the rate pane borrows it.
    Announcer announcer;
    int32_t rateListWidth = 200;
    std::atomic<uint32_t> updateInterval{DefaultUpdateInterval};
    // Set before the worker starts and not changed while it runs.
    std::string rateUrl;

private:
    void ReadRateUrl();
    // Takes the tray icon down without holding up the close: a shell may
    // take its time over it (Wine's waits for the X server to unmap the
    // icon's window), and the window can go meanwhile.
    void RemoveTrayIcon();
    // Starts a window drag as if the missing caption had been pressed.
    void BeginDrag();

    UINT taskbarCreatedMessage = 0;  // "TaskbarCreated", registered at construction
    std::thread trayRemoval;         // owned: joined by the destructor
};
