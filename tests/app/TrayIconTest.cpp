// The tray icon against a shell of the test's own: a shell still starting
// (time-outs), one that has no tray at all, and one that restarts. The window
// never waits for it: retries come on the window's timer.
#include "app/TrayIcon.h"
#include "tests/support/MessageWait.h"
#include "window/BaseWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr UINT CallbackMessage = WM_USER + 1;

// Takes icons once `refusals` adds have been refused with `error`; notes
// every call. Any thread (the removal runs on its own).
struct ScriptedShell {
    struct Call {
        DWORD action;
        std::string tip;
        std::string balloon;
    };
    int refusals = 0;
    DWORD error = ERROR_TIMEOUT;
    bool iconShown = false;
    std::mutex lock;
    std::vector<Call> calls;

    BOOL operator()(DWORD action, NOTIFYICONDATAA* record)
    {
        std::lock_guard<std::mutex> guard(lock);
        calls.push_back({action, record->szTip,
                         action == NIM_MODIFY && (record->uFlags & NIF_INFO) ? record->szInfo : ""});
        if (action == NIM_ADD) {
            if (refusals > 0) {
                --refusals;
                SetLastError(error);
                return FALSE;
            }
            iconShown = true;
            return TRUE;
        }
        if (action == NIM_DELETE) {
            bool was = iconShown;
            iconShown = false;
            return was;
        }
        if (!iconShown)
            SetLastError(error);
        return iconShown;
    }
    size_t Count(DWORD action)
    {
        std::lock_guard<std::mutex> guard(lock);
        size_t n = 0;
        for (const Call& call : calls)
            n += call.action == action;
        return n;
    }
    Call Last()
    {
        std::lock_guard<std::mutex> guard(lock);
        return calls.back();
    }
};

// A window that hands its timers and messages to the icon, as the widget does.
class IconWindow : public BaseWindow {
public:
    explicit IconWindow(ScriptedShell& shell)
        : tray(7, CallbackMessage,
               [&shell](DWORD action, NOTIFYICONDATAA* record) { return shell(action, record); })
    {
        RegisterWindowClass("TrayIconTestWindow", nullptr, 0);
        CreateTopLevelWindow();
    }
    ~IconWindow() override { Destroy(); }
    bool OnTimer(WPARAM timerId, LPARAM) override { return tray.OnTimer(timerId); }
    LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (tray.OnMessage(message))
            return 0;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    TrayIcon tray;
};

TEST(TrayIcon, AShellThatTakesTheIconAtOnceGetsOneAddWithTheTip)
{
    ScriptedShell shell;
    IconWindow frame(shell);
    frame.tray.SetTip("Quillbrae");
    EXPECT_TRUE(frame.tray.Add(frame.window, LoadIconA(nullptr, MAKEINTRESOURCEA(32512))));
    EXPECT_TRUE(frame.tray.Shown());
    ASSERT_EQ(shell.Count(NIM_ADD), 1u);
    EXPECT_EQ(shell.Last().tip, "Quillbrae");
    EXPECT_EQ(frame.tray.Record().uCallbackMessage, CallbackMessage);
    EXPECT_EQ(frame.tray.Record().uID, 7u);
    EXPECT_EQ(frame.tray.Record().hWnd, frame.window);
}

// The shell just after log-on: time-outs for a while. Add returns after
// one try, the window goes on with its messages, and the timer brings the
// icon, with the tip set meanwhile.
TEST(TrayIcon, AShellStillStartingIsTriedAgainOnTheWindowsTimer)
{
    ScriptedShell shell;
    shell.refusals = 2;
    IconWindow frame(shell);
    EXPECT_FALSE(frame.tray.Add(frame.window, nullptr));
    EXPECT_EQ(shell.Count(NIM_ADD), 1u) << "one try, no waiting on the window thread";
    EXPECT_FALSE(frame.tray.Shown());

    frame.tray.SetTip("Quillbrae - updated 12:34:56");
    EXPECT_EQ(shell.Count(NIM_MODIFY), 1u) << "only the timed-out add's check";
    // A message posted now is handled before the first retry is due.
    PostMessageA(frame.window, WM_NULL, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return frame.tray.Shown(); }, 10s));
    EXPECT_EQ(shell.Count(NIM_ADD), 3u);
    EXPECT_EQ(shell.Last().tip, "Quillbrae - updated 12:34:56");
}

TEST(TrayIcon, RetriesStopAfterABoundedWhile)
{
    ScriptedShell shell;
    shell.refusals = 1000;
    shell.error = ERROR_FILE_NOT_FOUND;
    IconWindow frame(shell);
    EXPECT_FALSE(frame.tray.Add(frame.window, nullptr));
    const size_t most = 1 + TrayIcon::MostRetries;
    ASSERT_TRUE(PumpUntil([&] { return shell.Count(NIM_ADD) >= most; }, 20s));
    // Two retry periods more: nothing else comes.
    PumpUntil([] { return false; }, std::chrono::milliseconds(2 * TrayIcon::RetryMs + 200));
    EXPECT_EQ(shell.Count(NIM_ADD), most);
    EXPECT_FALSE(frame.tray.Shown());

    // A shell that comes up later says so, and the icon is added then.
    shell.refusals = 0;
    SendMessageA(frame.window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(frame.tray.Shown());
}

TEST(TrayIcon, ARestartedShellGetsTheIconBackWithTheLatestTip)
{
    ScriptedShell shell;
    IconWindow frame(shell);
    ASSERT_TRUE(frame.tray.Add(frame.window, nullptr));
    frame.tray.SetTip(std::string(80, 'x'));
    EXPECT_EQ(shell.Last().tip, std::string(60, 'x') + "...") << "cut to the record's 63 characters";
    {
        std::lock_guard<std::mutex> guard(shell.lock);
        shell.iconShown = false;  // the shell forgot it
    }
    SendMessageA(frame.window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(shell.iconShown);
    EXPECT_EQ(shell.Last().tip, std::string(60, 'x') + "...");
}

TEST(TrayIcon, BalloonsOnlyWhileShownAndRemovalEndsEverything)
{
    ScriptedShell shell;
    shell.refusals = 1;
    shell.error = ERROR_FILE_NOT_FOUND;
    IconWindow frame(shell);
    frame.tray.Add(frame.window, nullptr);
    frame.tray.ShowBalloon("EURUSD rose above 1.1000", "Quillbrae");
    EXPECT_EQ(shell.Count(NIM_MODIFY), 0u) << "no icon: no balloon";
    ASSERT_TRUE(PumpUntil([&] { return frame.tray.Shown(); }, 10s));
    frame.tray.ShowBalloon("EURUSD rose above 1.1000", "Quillbrae");
    EXPECT_EQ(shell.Last().balloon, "EURUSD rose above 1.1000");

    frame.tray.Remove();
    EXPECT_FALSE(frame.tray.Shown());
    ASSERT_TRUE(PumpUntil([&] { return shell.Count(NIM_DELETE) == 1; }, 10s));
    // Gone for good: a shell restart after close brings nothing back.
    SendMessageA(frame.window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    frame.tray.Remove();
    EXPECT_FALSE(shell.iconShown);
    EXPECT_EQ(shell.Count(NIM_ADD), 2u);
    EXPECT_EQ(shell.Count(NIM_DELETE), 1u);
}

}  // namespace
