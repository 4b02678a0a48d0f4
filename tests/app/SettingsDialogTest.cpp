// The settings dialog of the widget's own executable under Wine, driven from
// outside as a screen reader or a test tool would: each field found by its
// label's text and the next control in tab order, buttons pressed by their
// text. Checks that values are taken at once and saved, that a bad value
// keeps the dialog open and saves nothing, and that Cancel changes nothing.
// Uses the clipboard, the speech stand-in (found by class name) and the
// window order, so it runs alone (RUN_SERIAL).
#include "base/Names.h"
#include "base/SettingsDialogIds.h"
#include "http/SocketLibrary.h"
#include "tests/support/ClipboardText.h"
#include "tests/support/ProcessWindow.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/SpeechStandIn.h"
#include "tests/support/TestFolder.h"
#include "tests/support/Wait.h"
#include "tests/support/WidgetProcess.h"
#include "tests/support/WinePath.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>

using namespace std::chrono_literals;

namespace {

const std::string WidgetExe = WinePath(QB_WIDGET_EXE);
const std::string SpeechExe = WinePath(QB_SPEECH_EXE);
const std::string WorkRoot = WinePath(QB_WORK_DIR);

// One pair's nine fields as the feed lays them out.
std::string Group(const std::string& code, const std::string& bid, const std::string& ask)
{
    return code + "," + bid + "," + ask + ",3.0," + bid + "," + bid + ",0.10%," + bid + ",1,";
}

ScriptedServer::Script RateResponse()
{
    std::string body = Group("EURUSD", "1.09120", "1.09150") + Group("USDJPY", "149.500", "149.530") +
                       Group("GBPUSD", "1.26500", "1.26540");
    return {ScriptedServer::Send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                                 std::to_string(body.size()) + "\r\n\r\n" + body)};
}

std::string FileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// SendMessage with a deadline: a widget that stops answering fails the
// test instead of holding it up.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 10000, &result))
        ADD_FAILURE() << "no answer to message " << message;
    return static_cast<LRESULT>(result);
}

std::string TextOf(HWND window)
{
    char text[512] = {};
    Send(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

// The open settings dialog of a widget, seen from outside.
class Dialog {
public:
    explicit Dialog(HWND window) : dialog(window) {}

    HWND Window() const { return dialog; }
    bool Open() const { return IsWindow(dialog) && IsWindowVisible(dialog); }

    // The control a label names: the next one in tab order, which must
    // also be the very next window, so that nothing stands between them.
    HWND Field(const char* label) const
    {
        HWND text = FindWindowExA(dialog, nullptr, "Static", label);
        if (text == nullptr)
            return nullptr;
        HWND next = GetNextDlgTabItem(dialog, text, FALSE);
        return next == GetWindow(text, GW_HWNDNEXT) ? next : nullptr;
    }
    // A field's explanation: the static text after the field's own controls.
    HWND ProblemOf(HWND field) const
    {
        for (HWND w = GetWindow(field, GW_HWNDNEXT); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
            char name[32] = {};
            GetClassNameA(w, name, sizeof name);
            if (lstrcmpiA(name, "Static") == 0)
                return w;
        }
        return nullptr;
    }
    HWND Button(const char* text) const { return FindWindowExA(dialog, nullptr, "Button", text); }

    void Type(const char* label, const std::string& text) const
    {
        HWND field = Field(label);
        ASSERT_NE(field, nullptr) << label;
        Send(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    std::string Read(const char* label) const { return TextOf(Field(label)); }
    void Press(const char* button) const
    {
        HWND pressed = Button(button);
        ASSERT_NE(pressed, nullptr) << button;
        Send(pressed, BM_CLICK, 0, 0);
    }
    bool Ticked(const char* box) const { return Send(Button(box), BM_GETCHECK, 0, 0) == BST_CHECKED; }

private:
    HWND dialog;
};

// The widget with its feed, and its settings dialog opened from the popup
// menu's command.
class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        feed.SetFallback(RateResponse());
        widget = std::make_unique<WidgetProcess>(WidgetExe, TestFolder(WorkRoot));
        widget->Place(60, 60, 540, 420);
        widget->Set("Quillbrae", "RateUrl", feed.Url(names::kDefaultRatePath));
        widget->Set("Quillbrae", "UpdateTimer", "10000");
    }
    void TearDown() override
    {
        if (widget->process) {
            EXPECT_TRUE(widget->ExitCleanly());
        }
    }

    // The first row of the list, as "Copy" gives it.
    std::string FirstRow() const
    {
        HWND pane = widget->Pane();
        Send(pane, WM_KEYDOWN, VK_HOME, 0);
        Send(pane, WM_COPY, 0, 0);
        return ClipboardText();
    }

    // The dialogs of the widget's process titled as the settings dialog.
    int OpenDialogs() const
    {
        struct Count {
            DWORD process;
            int found;
        } count{widget->process->Id(), 0};
        EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                auto* c = reinterpret_cast<Count*>(p);
                DWORD owner = 0;
                GetWindowThreadProcessId(w, &owner);
                if (owner == c->process && IsWindowVisible(w) && TextOf(w) == QB_SETTINGS_TITLE)
                    ++c->found;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&count));
        return count.found;
    }

    Dialog OpenSettings() const
    {
        widget->Command(names::kSettingsCommand);
        HWND found = nullptr;
        WaitUntil(
            [&] {
                found = FindProcessWindow(widget->process->Id(), "#32770", true);
                return found != nullptr && TextOf(found) == QB_SETTINGS_TITLE;
            },
            10s);
        return Dialog(found);
    }

    LONG_PTR ExStyle() const { return GetWindowLongPtrA(widget->window, GWL_EXSTYLE); }

    SocketLibrary sockets;
    ScriptedServer feed;
    std::unique_ptr<WidgetProcess> widget;
};

TEST_F(SettingsDialog, TwoPairsAndOkChangeTheFirstPairShownAndSpokenAndAreSaved)
{
    SpeechStandIn speech;
    ASSERT_TRUE(speech.Start(SpeechExe, widget->folder));
    ASSERT_TRUE(widget->Start());
    widget->Command(names::kUseSpeechCommand);
    ASSERT_TRUE(WaitUntil([&] { return FirstRow() == "EURUSD 1.0912 - 15"; }, 30s)) << FirstRow();

    Dialog dialog = OpenSettings();
    ASSERT_TRUE(dialog.Open());
    EXPECT_EQ(dialog.Read("&Pairs:"), "");
    EXPECT_EQ(dialog.Read("&Update every (seconds):"), "10");
    EXPECT_EQ(dialog.Read("Rate &pages:"), feed.Url(names::kDefaultRatePath));
    dialog.Type("&Pairs:", "GBPUSD, USDJPY");
    size_t spokenBefore = speech.Said("Speak 1.2650 - 54");
    dialog.Press("OK");

    EXPECT_TRUE(WaitUntil([&] { return !dialog.Open(); }, 5s));
    EXPECT_EQ(widget->Setting("Quillbrae", "Pairs"), "GBPUSD,USDJPY");
    EXPECT_TRUE(WaitUntil([&] { return FirstRow() == "GBPUSD 1.2650 - 54"; }, 12s)) << FirstRow();
    // The selected row is spoken each cycle: now the first chosen pair's.
    EXPECT_TRUE(WaitUntil([&] { return speech.Said("Speak 1.2650 - 54") > spokenBefore; }, 15s))
        << speech.Log();
    Send(widget->Pane(), WM_KEYDOWN, VK_DOWN, 0);
    Send(widget->Pane(), WM_COPY, 0, 0);
    EXPECT_EQ(ClipboardText(), "USDJPY 149.50 - 53");
}

TEST_F(SettingsDialog, AlwaysOnTopAndOpacityTakeEffectAtOnceAndAtTheNextStart)
{
    ASSERT_TRUE(widget->Start());
    ASSERT_TRUE(ExStyle() & WS_EX_TOPMOST);
    ASSERT_FALSE(ExStyle() & WS_EX_LAYERED);

    Dialog dialog = OpenSettings();
    ASSERT_TRUE(dialog.Open());
    EXPECT_TRUE(dialog.Ticked("Always on &top"));
    EXPECT_EQ(dialog.Read("&Opacity (%):"), "100");
    dialog.Press("Always on &top");
    EXPECT_FALSE(dialog.Ticked("Always on &top"));
    dialog.Type("&Opacity (%):", "70");
    dialog.Press("Appl&y");

    EXPECT_TRUE(dialog.Open()) << "Apply keeps the dialog";
    EXPECT_FALSE(ExStyle() & WS_EX_TOPMOST);
    ASSERT_TRUE(ExStyle() & WS_EX_LAYERED);
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(widget->window, nullptr, &alpha, &flags));
    EXPECT_TRUE(flags & LWA_ALPHA);
    EXPECT_TRUE(alpha == 178 || alpha == 179) << int(alpha);
    EXPECT_EQ(widget->Setting("Quillbrae", "AlwaysOnTop"), "0");
    EXPECT_EQ(widget->Setting("Quillbrae", "Opacity"), "70");

    // Back on top: the style comes back too.
    dialog.Press("Always on &top");
    dialog.Press("Appl&y");
    EXPECT_TRUE(ExStyle() & WS_EX_TOPMOST);
    dialog.Press("Always on &top");
    dialog.Press("OK");
    EXPECT_TRUE(WaitUntil([&] { return !dialog.Open(); }, 5s));

    ASSERT_TRUE(widget->ExitCleanly());
    ASSERT_TRUE(widget->Start());
    EXPECT_FALSE(ExStyle() & WS_EX_TOPMOST);
    ASSERT_TRUE(ExStyle() & WS_EX_LAYERED);
    alpha = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(widget->window, nullptr, &alpha, &flags));
    EXPECT_TRUE(alpha == 178 || alpha == 179) << int(alpha);

    // 100 % is a plain window again.
    Dialog again = OpenSettings();
    again.Type("&Opacity (%):", "100");
    again.Press("OK");
    EXPECT_FALSE(ExStyle() & WS_EX_LAYERED);
    EXPECT_EQ(widget->Setting("Quillbrae", "Opacity"), "100");
}

TEST_F(SettingsDialog, AnIntervalThatCannotBeUsedKeepsTheDialogOpenAndSavesNothing)
{
    ASSERT_TRUE(widget->Start());
    Dialog dialog = OpenSettings();
    ASSERT_TRUE(dialog.Open());
    const std::string fileBefore = FileBytes(widget->ini);
    ASSERT_FALSE(fileBefore.empty());
    HWND interval = dialog.Field("&Update every (seconds):");
    ASSERT_NE(interval, nullptr);
    HWND problem = dialog.ProblemOf(interval);
    ASSERT_NE(problem, nullptr);
    EXPECT_EQ(TextOf(problem), "");

    for (const std::string bad : {"abc", "5"}) {
        dialog.Type("&Pairs:", "GBPUSD");  // a good change beside the bad one
        dialog.Type("&Update every (seconds):", bad);
        dialog.Press("OK");
        EXPECT_TRUE(dialog.Open()) << bad;
        EXPECT_NE(TextOf(problem), "") << bad;
        DWORD selection = static_cast<DWORD>(Send(interval, EM_GETSEL, 0, 0));
        EXPECT_EQ(LOWORD(selection), 0) << bad;
        EXPECT_EQ(HIWORD(selection), bad.size()) << bad;
        GUITHREADINFO thread{};
        thread.cbSize = sizeof thread;
        ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(dialog.Window(), nullptr), &thread));
        EXPECT_EQ(thread.hwndFocus, interval) << bad;
        dialog.Press("Appl&y");
        EXPECT_TRUE(dialog.Open()) << bad;
        EXPECT_EQ(FileBytes(widget->ini), fileBefore) << bad;
    }
    EXPECT_NE(TextOf(problem).find("10 seconds"), std::string::npos) << TextOf(problem);
    EXPECT_NE(FirstRow().rfind("GBPUSD", 0), 0u) << "nothing taken";

    // Mended, it is taken and the explanation goes.
    dialog.Type("&Update every (seconds):", "30");
    dialog.Press("Appl&y");
    EXPECT_EQ(TextOf(problem), "");
    EXPECT_EQ(widget->Setting("Quillbrae", "UpdateTimer"), "30000");
    dialog.Press("Cancel");
}

TEST_F(SettingsDialog, CancelAfterChangesLeavesWindowAndFileAsTheyWere)
{
    ASSERT_TRUE(widget->Start());
    ASSERT_TRUE(WaitUntil([&] { return FirstRow() == "EURUSD 1.0912 - 15"; }, 30s)) << FirstRow();
    Dialog dialog = OpenSettings();
    ASSERT_TRUE(dialog.Open());
    const std::string fileBefore = FileBytes(widget->ini);
    const LONG_PTR styleBefore = ExStyle();

    dialog.Type("&Pairs:", "USDJPY");
    dialog.Type("&Alerts:", "USDJPY=above 100");
    dialog.Type("&Opacity (%):", "50");
    dialog.Press("Always on &top");
    dialog.Press("Start with &Windows");
    dialog.Press("&Defaults");
    dialog.Press("Cancel");

    EXPECT_TRUE(WaitUntil([&] { return !dialog.Open(); }, 5s));
    EXPECT_EQ(ExStyle(), styleBefore);
    EXPECT_EQ(FileBytes(widget->ini), fileBefore);
    EXPECT_EQ(FirstRow(), "EURUSD 1.0912 - 15");
    // Opened again, it shows the settings as they are, not as left.
    Dialog again = OpenSettings();
    EXPECT_EQ(again.Read("&Pairs:"), "");
    EXPECT_EQ(again.Read("&Opacity (%):"), "100");
    EXPECT_TRUE(again.Ticked("Always on &top"));
    again.Press("Cancel");
}

TEST_F(SettingsDialog, OneAtATimeEachLabelBeforeItsControlAndThePublicDefaults)
{
    ASSERT_TRUE(widget->Start());
    Dialog dialog = OpenSettings();
    ASSERT_TRUE(dialog.Open());
    widget->Command(names::kSettingsCommand);
    widget->Command(names::kSettingsCommand);
    EXPECT_FALSE(WaitUntil([&] { return OpenDialogs() > 1; }, 2s));
    EXPECT_EQ(OpenDialogs(), 1);

    const char* const labels[] = {
        "Rate &pages:", "&Update every (seconds):", "&Pairs:", "&Alerts:", "&Opacity (%):"};
    for (const char* label : labels) {
        HWND field = dialog.Field(label);
        ASSERT_NE(field, nullptr) << label;
        char name[32] = {};
        GetClassNameA(field, name, sizeof name);
        EXPECT_STREQ(name, "Edit") << label;
    }
    for (const char* button :
         {"&Defaults", "Start with &Windows", "Always on &top", "OK", "Cancel", "Appl&y"})
        EXPECT_NE(dialog.Button(button), nullptr) << button;
    // The chooser's button follows the field it fills.
    HWND choose = GetWindow(dialog.Field("&Pairs:"), GW_HWNDNEXT);
    EXPECT_EQ(choose, GetDlgItem(dialog.Window(), QB_PAIRS_CHOOSE));
    WCHAR chooseText[32] = {};
    GetWindowTextW(choose, chooseText, 32);
    EXPECT_EQ(std::wstring(chooseText), L"&Choose\u2026");

    dialog.Press("&Defaults");
    EXPECT_EQ(dialog.Read("Rate &pages:"), "https://www.ecb.europa.eu/stats/eurofxref/"
                                           "eurofxref-daily.xml\r\nhttps://api.frankfurter.dev/v1/latest");
    dialog.Press("Cancel");
    EXPECT_TRUE(WaitUntil([&] { return OpenDialogs() == 0; }, 5s));
}

TEST_F(SettingsDialog, TheChooserTicksAndOrdersThePairsOfferedNow)
{
    ASSERT_TRUE(widget->Start());
    ASSERT_TRUE(WaitUntil([&] { return FirstRow() == "EURUSD 1.0912 - 15"; }, 30s)) << FirstRow();
    Dialog dialog = OpenSettings();
    ASSERT_TRUE(dialog.Open());
    dialog.Type("&Pairs:", "NZDUSD");
    // Posted: the chooser is modal, and its own loop runs inside the click.
    PostMessageA(GetDlgItem(dialog.Window(), QB_PAIRS_CHOOSE), BM_CLICK, 0, 0);
    HWND chooser = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            chooser = FindWindowA("#32770", QB_CHOOSE_PAIRS_TITLE);
            return chooser != nullptr && IsWindowVisible(chooser);
        },
        10s));
    Dialog choose(chooser);
    HWND list = choose.Field("&Pairs the source offers now, shown in this order:");
    ASSERT_NE(list, nullptr);
    // The chosen code first, then the three the source offers.
    EXPECT_EQ(Send(list, LVM_GETITEMCOUNT, 0, 0), 4);
    auto key = [&](WPARAM code) {
        Send(list, WM_KEYDOWN, code, 0);
        Send(list, WM_KEYUP, code, 0);
    };
    SetForegroundWindow(chooser);
    key(VK_SPACE);  // NZDUSD off
    key(VK_END);    // GBPUSD
    key(VK_SPACE);  // on
    choose.Press("Move &up");
    choose.Press("Move &up");
    choose.Press("Move &up");  // first
    key(VK_DOWN);              // NZDUSD
    key(VK_DOWN);              // EURUSD
    key(VK_DOWN);              // USDJPY
    key(VK_SPACE);             // on
    choose.Press("OK");
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(chooser); }, 5s));
    EXPECT_EQ(dialog.Read("&Pairs:"), "GBPUSD, USDJPY");
    dialog.Press("OK");
    EXPECT_TRUE(WaitUntil([&] { return FirstRow() == "GBPUSD 1.2650 - 54"; }, 5s)) << FirstRow();
}

TEST_F(SettingsDialog, KeysGoThroughTheDialogWhileTheWidgetRuns)
{
    ASSERT_TRUE(widget->Start());
    Dialog dialog = OpenSettings();
    ASSERT_TRUE(dialog.Open());
    DWORD thread = GetWindowThreadProcessId(dialog.Window(), nullptr);
    auto focus = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
    };
    HWND interval = dialog.Field("&Update every (seconds):");
    Send(dialog.Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(interval), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return focus() == interval; }, 5s));

    // Posted keys reach the dialog through the widget's message loop.
    PostMessageA(interval, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_TRUE(WaitUntil([&] { return focus() == dialog.Field("&Pairs:"); }, 5s));
    PostMessageA(focus(), WM_SYSCHAR, 'o', 1 << 29);  // Alt+O
    EXPECT_TRUE(WaitUntil([&] { return focus() == dialog.Field("&Opacity (%):"); }, 5s));
    // The widget goes on updating while the dialog is open.
    size_t requests = feed.Requests().size();
    EXPECT_TRUE(WaitUntil([&] { return feed.Requests().size() > requests; }, 15s));
    EXPECT_TRUE(dialog.Open());
    PostMessageA(focus(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !dialog.Open(); }, 5s));
}

}  // namespace
