#pragma once
#include "tests/support/ChildProcess.h"

#include <windows.h>

#include <memory>
#include <string>

// One copy of the widget's executable in a folder of its own, with its own
// settings file beside it, run as a child process and driven through its
// window. Windows only (qb_test_windows).
class WidgetProcess {
public:
    // Copies `widgetExe` into `folder` and starts from no settings file.
    WidgetProcess(const std::string& widgetExe, std::string folder);

    void Set(const char* section, const char* key, const std::string& value);
    // "<missing>" when the key is not there.
    std::string Setting(const char* section, const char* key) const;
    // The window's place and size at its next start.
    void Place(int left, int top, int width, int height);

    // Starts the program (again, after an exit) and waits for its window.
    bool Start();
    // The two halves of Start, so that several widgets can start at once.
    bool Launch();
    bool WaitForWindow();
    HWND Pane(const char* className = "BaseWindowPane") const;
    RECT PaneRect(const char* className = "BaseWindowPane") const;
    void Command(unsigned id) const;
    // Each download reports its length on the widget's standard output.
    size_t Downloads() const;
    // Whether the rate pane shows its selection bar, which it draws only
    // once the list holds records. Read from the screen: the widget is
    // topmost, so what is there is what it painted.
    bool ShowsRates() const;

    // Chooses "&Exit"; the milliseconds until the process has ended,
    // infinity when it is still running 20 s later.
    double Exit();
    // Exit() ended the process, with exit code 0.
    bool ExitCleanly();

    const std::string folder, exe, ini;
    std::unique_ptr<ChildProcess> process;  // one for each start
    HWND window = nullptr;
};

// WidgetProcess::ShowsRates for a widget window started some other way.
bool WidgetShowsRates(HWND widgetWindow);
