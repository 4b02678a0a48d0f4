// The widget's own executable started twice on one settings file, and once
// more as a portable copy of its own: the second start brings the first
// forward and ends, the copy runs alongside.
#include "base/Names.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ProcessWindow.h"
#include "tests/support/TestFolder.h"
#include "tests/support/Wait.h"
#include "tests/support/WidgetProcess.h"
#include "tests/support/WinePath.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

using namespace std::chrono_literals;

namespace {

const std::string WidgetExe = WinePath(QB_WIDGET_EXE);
const std::string WorkRoot = WinePath(QB_WORK_DIR);

// A widget with nothing to read: a port where nothing listens.
struct Widget : WidgetProcess {
    explicit Widget(const std::string& where) : WidgetProcess(WidgetExe, where)
    {
        Place(300, 200, 400, 240);
        Set(names::kWidgetSection, names::kRateUrlKey, "http://127.0.0.1:9/rate/neo/rate.asp");
    }
};

std::string Subfolder(const std::string& parent, const char* name)
{
    std::string folder = parent + "\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

bool OnAMonitor(HWND window)
{
    return MonitorFromWindow(window, MONITOR_DEFAULTTONULL) != nullptr;
}

}  // namespace

TEST(OneWidget, ASecondStartOnTheSameSettingsBringsTheFirstBackAndEnds)
{
    Widget first(TestFolder(WorkRoot));
    ASSERT_TRUE(first.Start());
    ASSERT_EQ(VisibleWidgetWindows(), 1);

    // Far off every monitor, as after a monitor was unplugged.
    SetWindowPos(first.window, nullptr, -20000, -20000, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(WaitUntil([&] { return !OnAMonitor(first.window); }, 10s));

    ChildProcess second;
    auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(second.Start(first.exe, {}, first.folder));
    ASSERT_TRUE(second.WaitExit(10s)) << "the second start is still running";
    auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_LT(took, 5s);

    EXPECT_TRUE(WaitUntil([&] { return OnAMonitor(first.window); }, 10s))
        << "the first widget stayed off screen";
    EXPECT_TRUE(first.process->Running());
    EXPECT_EQ(VisibleWidgetWindows(), 1);
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == first.window; }, 10s));

    // The window the first one kept is still the one that works.
    EXPECT_TRUE(first.ExitCleanly());
    EXPECT_EQ(first.Setting(names::kPlacementSection, names::kMainWidthKey), "400");
}

TEST(OneWidget, APortableCopyWithItsOwnSettingsRunsAlongside)
{
    std::string folder = TestFolder(WorkRoot);
    Widget one(Subfolder(folder, "one"));
    Widget other(Subfolder(folder, "other"));

    ASSERT_TRUE(one.Start());
    ASSERT_TRUE(other.Start());
    EXPECT_NE(one.window, other.window);
    EXPECT_EQ(VisibleWidgetWindows(), 2);
    EXPECT_TRUE(one.process->Running());
    EXPECT_TRUE(other.process->Running());

    // After the first ends, its folder's next start runs as usual.
    EXPECT_TRUE(one.ExitCleanly());
    ASSERT_TRUE(one.Start());
    EXPECT_TRUE(one.process->Running());
    EXPECT_TRUE(one.ExitCleanly());
    EXPECT_TRUE(other.ExitCleanly());
}
