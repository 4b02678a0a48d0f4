#pragma once
#include "base/StoredPlacement.h"
#include "window/BaseWindow.h"

#include <string>

// The top-level "MainFrame" window of an application: posts the quit message
// when it is destroyed, owns the tray icon record (and removes the icon on
// close), routes the tray callback to OnTrayNotify, and keeps its placement in
// section "Window" of the settings file. Derived classes decide when to load
// and save the placement.
class App : public BaseWindow {
public:
    // The tray icon's callback message.
    static constexpr UINT TrayCallbackMessage = WM_USER + 1;

    App();
    ~App() override;

    bool Create() override;
    bool OnClose() override;
    LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    // Take the placement from the settings file and write it back there
    // (only the "Window" section changes, and the file is replaced whole).
    virtual void LoadPlacement();
    virtual void SavePlacement();
    // Moves and sizes the window (hidden) as `stored` says, unknown figures
    // taking the first-run defaults, and keeps it on its monitor.
    void ApplyPlacement(const StoredPlacement& stored);
    // The restored rectangle in screen coordinates and whether the window
    // is maximised; false when there is no window.
    bool CurrentPlacement(StoredPlacement& stored) const;
    virtual bool OnTrayNotify(LPARAM mouseMessage);

    // All zero until the icon is added; whoever adds it sets cbSize
    // (NOTIFYICONDATAA_V1_SIZE for the 64-character tip, or sizeof). A set
    // hWnd means the icon is shown.
    NOTIFYICONDATAA trayIcon;
};

// The executable's full path.
const std::string& ProgramPath();
// The executable's directory, with its trailing backslash.
const std::string& ProgramDirectory();
// The program as started, without directory and extension.
const std::string& ProgramName();
// The settings file: ProgramDirectory() + ProgramName() + ".ini" when that
// file or a file named "portable" is beside the executable, otherwise
// quillbrae.ini in the Quillbrae folder of the roaming application data
// (base/SettingsLocation.h). Chosen once, at the first call.
const std::string& SettingsFilePath();
// The folder that holds the settings file, with its trailing backslash:
// whatever else the widget keeps goes here too.
const std::string& SettingsFolder();
// Makes SettingsFolder() when it is not there yet; true when it exists.
bool MakeSettingsFolder();
