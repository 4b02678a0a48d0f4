#include "window/App.h"

#include "base/Names.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/MessageWait.h"
#include "tests/support/SettingsFile.h"
#include "tests/window/WindowTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Started with this argument, the executable saves a placement and exits:
// that is how a copy under another name shows which settings file it uses.
const char* const SavePlacementArgument = "--save-placement-and-exit";

class Frame : public App {
public:
    bool OnTrayNotify(LPARAM mouseMessage) override
    {
        trayMessages.push_back(mouseMessage);
        return App::OnTrayNotify(mouseMessage);
    }
    std::vector<LPARAM> trayMessages;
};

// Each test starts without a settings file and leaves none behind.
class Placement : public ::testing::Test {
protected:
    void SetUp() override { DeleteFileA(SettingsFilePath().c_str()); }
    void TearDown() override
    {
        frame.Destroy();
        DeleteFileA(SettingsFilePath().c_str());
    }

    static void Store(const char* key, const char* value)
    {
        WriteSetting(SettingsFilePath(), "Window", key, value);
    }

    RECT Load()
    {
        EXPECT_TRUE(frame.Create());
        frame.LoadPlacement();
        return WindowRect(frame.window);
    }

    static RECT PrimaryMonitor()
    {
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        GetMonitorInfoA(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
        return info.rcMonitor;
    }

    Frame frame;
};

TEST(ProgramPaths, SettingsFileSitsBesideTheExecutableUnderItsName)
{
    std::string exe = ExecutablePath();
    std::string directory = exe.substr(0, exe.find_last_of('\\') + 1);
    EXPECT_EQ(ProgramDirectory(), directory);
    EXPECT_EQ(ProgramName(), "window_app_test");
    EXPECT_EQ(SettingsFilePath(), directory + "window_app_test.ini");
    EXPECT_EQ(&SettingsFilePath(), &SettingsFilePath());  // computed once
}

TEST(ProgramPaths, ACopyUnderAnotherNameUsesItsOwnSettingsFile)
{
    std::string copy = ProgramDirectory() + "window_app_renamed.exe";
    std::string copySettings = ProgramDirectory() + "window_app_renamed.ini";
    DeleteFileA(copySettings.c_str());
    ASSERT_TRUE(CopyFileA(ExecutablePath().c_str(), copy.c_str(), FALSE));

    {
        ChildProcess process;
        ASSERT_TRUE(process.Start(copy, {SavePlacementArgument}));
        EXPECT_TRUE(process.WaitExit(std::chrono::seconds(60)));
        EXPECT_EQ(process.ExitCode(), 0);
    }
    EXPECT_EQ(ReadSetting(copySettings, "Window", "MainWidth"), "321");
    EXPECT_EQ(GetFileAttributesA(SettingsFilePath().c_str()), INVALID_FILE_ATTRIBUTES) << "the original's file was written";
    DeleteFileA(copySettings.c_str());
    DeleteFileA(copy.c_str());
}

TEST_F(Placement, FirstRunIsCentredAt640By480AndHidden)
{
    RECT rect = Load();
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(rect.left, (width - 640) / 2);
    EXPECT_EQ(rect.top, (height - 480) / 2);
    EXPECT_EQ(rect.right - rect.left, 640);
    EXPECT_EQ(rect.bottom - rect.top, 480);
    EXPECT_FALSE(IsWindowVisible(frame.window));
}

TEST_F(Placement, StoredRectangleIsUsedAsIs)
{
    Store("MainLeft", "100");
    Store("MainTop", "120");
    Store("MainWidth", "500");
    Store("MainHeight", "400");
    RECT rect = Load();
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 120);
    EXPECT_EQ(rect.right, 600);
    EXPECT_EQ(rect.bottom, 520);
}

TEST_F(Placement, BeyondTheRightEdgeLandsFlushWithIt)
{
    RECT monitor = PrimaryMonitor();
    Store("MainLeft", std::to_string(monitor.right + 5000).c_str());
    Store("MainTop", "100");
    RECT rect = Load();
    EXPECT_EQ(rect.right, monitor.right);
    EXPECT_EQ(rect.left, monitor.right - 640);
    EXPECT_EQ(rect.top, 100);
}

TEST_F(Placement, AboveAndLeftOfTheScreenIsPulledOntoIt)
{
    RECT monitor = PrimaryMonitor();
    Store("MainLeft", "-3000");
    Store("MainTop", "-2000");
    RECT rect = Load();
    EXPECT_EQ(rect.left, monitor.left);
    EXPECT_EQ(rect.top, monitor.top);
}

TEST_F(Placement, LargerThanTheMonitorSitsOnItsLeftAndTopEdges)
{
    RECT monitor = PrimaryMonitor();
    Store("MainLeft", "50");
    Store("MainTop", "60");
    Store("MainWidth", std::to_string(monitor.right - monitor.left + 400).c_str());
    Store("MainHeight", std::to_string(monitor.bottom - monitor.top + 300).c_str());
    RECT rect = Load();
    EXPECT_EQ(rect.left, monitor.left);
    EXPECT_EQ(rect.top, monitor.top);
    EXPECT_GT(rect.right, monitor.right);
    EXPECT_GT(rect.bottom, monitor.bottom);
}

TEST_F(Placement, MalformedValuesFallBackOrAreBounded)
{
    struct Case {
        const char* left;
        const char* top;
        const char* width;
        const char* height;
    };
    const Case cases[] = {
        {"abc", "", "wide", "-5"},                        // no numbers, negative size: defaults
        {"99999999999999999999", "7", "0", "480"},        // overflowing left: flush right
        {"-99999999999999999999", "-1", "640", "99999999999"},  // far left, huge height: on the edges
    };
    RECT monitor = PrimaryMonitor();
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    const RECT expected[] = {
        {(width - 640) / 2, (height - 480) / 2, (width - 640) / 2 + 640, (height - 480) / 2 + 480},
        {monitor.right - 640, 7, monitor.right, 7 + 480},
        {monitor.left, monitor.top, monitor.left + 640, -1},  // bottom: whatever the system allows
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        SCOPED_TRACE(i);
        Store("MainLeft", cases[i].left);
        Store("MainTop", cases[i].top);
        Store("MainWidth", cases[i].width);
        Store("MainHeight", cases[i].height);
        RECT rect = Load();
        EXPECT_EQ(rect.left, expected[i].left);
        EXPECT_EQ(rect.top, expected[i].top);
        EXPECT_EQ(rect.right, expected[i].right);
        if (expected[i].bottom >= 0)
            EXPECT_EQ(rect.bottom, expected[i].bottom);
        else
            EXPECT_GT(rect.bottom, monitor.bottom);
    }
}

TEST_F(Placement, SavingWhileMaximisedWritesTheRestoredRectangle)
{
    Store("MainLeft", "100");
    Store("MainTop", "120");
    Store("MainWidth", "500");
    Store("MainHeight", "400");
    Load();
    ShowWindow(frame.window, SW_SHOWMAXIMIZED);
    ASSERT_TRUE(PumpUntil([&] { return IsZoomed(frame.window) != FALSE; }));
    DeleteFileA(SettingsFilePath().c_str());
    frame.SavePlacement();

    EXPECT_EQ(ReadSetting(SettingsFilePath(), "Window", "MainLeft"), "100");
    EXPECT_EQ(ReadSetting(SettingsFilePath(), "Window", "MainTop"), "120");
    EXPECT_EQ(ReadSetting(SettingsFilePath(), "Window", "MainWidth"), "500");
    EXPECT_EQ(ReadSetting(SettingsFilePath(), "Window", "MainHeight"), "400");
    EXPECT_EQ(ReadSetting(SettingsFilePath(), "Window", "Zoomed"), "1");

    // The next start takes the restored rectangle and does not maximise.
    Frame next;
    ASSERT_TRUE(next.Create());
    next.LoadPlacement();
    RECT rect = WindowRect(next.window);
    EXPECT_FALSE(IsZoomed(next.window));
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.right, 600);
}

TEST_F(Placement, SavingANormalWindowWritesItsRectangleAndNotZoomed)
{
    Load();
    SetWindowPos(frame.window, nullptr, -40, 30, 350, 250, SWP_NOZORDER | SWP_NOACTIVATE);
    frame.SavePlacement();
    EXPECT_EQ(ReadSetting(SettingsFilePath(), "Window", "MainLeft"), "-40");
    EXPECT_EQ(ReadSetting(SettingsFilePath(), "Window", "MainTop"), "30");
    EXPECT_EQ(ReadSetting(SettingsFilePath(), "Window", "MainWidth"), "350");
    EXPECT_EQ(ReadSetting(SettingsFilePath(), "Window", "MainHeight"), "250");
    EXPECT_EQ(ReadSetting(SettingsFilePath(), "Window", "Zoomed"), "0");
}

TEST_F(Placement, SavingWithoutAWindowWritesNothing)
{
    frame.SavePlacement();
    EXPECT_EQ(GetFileAttributesA(SettingsFilePath().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(MainFrame, RoutesTheTrayCallbackAndPostsQuitOnDestruction)
{
    Frame frame;
    ASSERT_TRUE(frame.Create());
    EXPECT_STREQ(frame.className, names::kMainWindowClass);
    EXPECT_EQ(frame.GetStyle() & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);

    EXPECT_EQ(SendMessageA(frame.window, App::TrayCallbackMessage, 1, WM_RBUTTONUP), 0);
    EXPECT_EQ(SendMessageA(frame.window, WM_USER + 1, 1, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(frame.trayMessages, (std::vector<LPARAM>{WM_RBUTTONUP, WM_LBUTTONDBLCLK}));
    EXPECT_EQ(SendMessageA(frame.window, WM_ERASEBKGND, 0, 0), 1);

    SendMessageA(frame.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(frame.window, nullptr);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u);
}

TEST(MainFrame, CloseRemovesTheTrayIcon)
{
    Frame frame;
    ASSERT_TRUE(frame.Create());
    frame.trayIcon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    frame.trayIcon.hWnd = frame.window;
    frame.trayIcon.uID = 1;
    frame.trayIcon.uFlags = NIF_MESSAGE | NIF_TIP;
    frame.trayIcon.uCallbackMessage = App::TrayCallbackMessage;
    std::strcpy(frame.trayIcon.szTip, "probe");
    if (!Shell_NotifyIconA(NIM_ADD, &frame.trayIcon))
        GTEST_SKIP() << "no notification area on this display";
    NOTIFYICONDATAA copy = frame.trayIcon;

    SendMessageA(frame.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(frame.trayIcon.hWnd, nullptr);
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &copy)) << "the icon is still there";
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], SavePlacementArgument) == 0) {
        Frame frame;
        if (!frame.Create())
            return 2;
        SetWindowPos(frame.window, nullptr, 10, 20, 321, 123, SWP_NOZORDER | SWP_NOACTIVATE);
        frame.SavePlacement();
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
