#include "base/Names.h"
#include "display/FXRatePane.h"
#include "display/RateSpeech.h"
#include "tests/display/DisplayTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

namespace {

using namespace std::chrono_literals;

// What an in-process window of class "Voxlume" received, byte for byte.
struct Captured {
    ULONG_PTR dwData;
    DWORD cbData;
    std::wstring units;  // all cbData bytes, terminator included
};
std::vector<Captured> captured;

LRESULT CALLBACK CaptureProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        const auto* units = static_cast<const wchar_t*>(data->lpData);
        captured.push_back({data->dwData, data->cbData, std::wstring(units, data->cbData / sizeof(wchar_t))});
        return TRUE;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// A speech window inside the test itself, to see the exact message.
struct CaptureWindow {
    HWND window = nullptr;
    CaptureWindow()
    {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = CaptureProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = names::kSpeechWindowClass;
        RegisterClassExA(&windowClass);
        window = CreateWindowExA(0, names::kSpeechWindowClass, "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        captured.clear();
    }
    ~CaptureWindow() { DestroyWindow(window); }
};

std::string TempLogPath(const char* name)
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    std::string path = std::string(folder) + "quillbrae-" + name + "-" + std::to_string(GetCurrentProcessId()) + ".log";
    DeleteFileA(path.c_str());
    return path;
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

bool SpeakerRunning()
{
    return FindWindowA(names::kSpeechWindowClass, nullptr) != nullptr;
}

// The stand-in speech program, started for one test and ended after it.
class Standin {
public:
    explicit Standin(const std::vector<std::string>& arguments) { process.Start(VOXLUME_STANDIN, arguments); }
    ~Standin()
    {
        if (!process.Started())
            return;
        if (HWND window = FindWindowA(names::kSpeechWindowClass, nullptr))
            PostMessageA(window, WM_CLOSE, 0, 0);
        if (!process.WaitExit(10s))
            process.Kill();
    }
    void Kill() { process.Kill(); }
    bool WaitForWindow() const { return process.Started() && WaitUntil(SpeakerRunning, 60s); }

private:
    ChildProcess process;
};

struct SpeechFixture : ::testing::Test {
    FXRatePane pane;

    void SetUp() override
    {
        ASSERT_TRUE(WaitUntil([] { return !SpeakerRunning(); }, 30s)) << "another speech window stays open";
    }

    void AddRows()
    {
        auto records = pane.rates.Lock();
        records->emplace_back(Quote("USDJPY", "150.10/150.13", "0.25"));
        records->emplace_back(Quote("EURUSD", "1.0850/1.0852", "-0.10"));
    }
};

TEST(SpeechMessage, SpeakSpaceAndTheTextInUtf16)
{
    EXPECT_EQ(SpeechMessage(""), L"Speak");
    EXPECT_EQ(SpeechMessage("150.10"), L"Speak 150.10");
    if (GetACP() == 1252) {
        EXPECT_EQ(SpeechMessage("\x80 1\xe9"), L"Speak \u20ac 1\u00e9");
    }
}

TEST_F(SpeechFixture, OneExactMessagePerRefreshWithSpeechOn)
{
    CaptureWindow speaker;
    ASSERT_NE(speaker.window, nullptr);
    AddRows();
    pane.speechEnabled = true;
    pane.selected = 1;
    pane.Refresh();
    pane.Refresh();
    ASSERT_EQ(captured.size(), 2u);
    for (const Captured& message : captured) {
        EXPECT_EQ(message.dwData, 1u);
        // "Speak 1.0850/1.0852": 19 units and the terminator.
        EXPECT_EQ(message.cbData, 40u);
        EXPECT_EQ(message.units, std::wstring(L"Speak 1.0850/1.0852") + L'\0');
    }

    captured.clear();
    {
        auto records = pane.rates.Lock();
        (*records)[1].priceText.clear();
    }
    pane.Refresh();
    ASSERT_EQ(captured.size(), 1u);
    EXPECT_EQ(captured[0].cbData, 12u);
    EXPECT_EQ(captured[0].units, std::wstring(L"Speak") + L'\0');
}

TEST_F(SpeechFixture, NothingWithSpeechOffOrAnEmptyList)
{
    CaptureWindow speaker;
    pane.speechEnabled = true;
    pane.Refresh();  // empty list
    AddRows();
    pane.speechEnabled = false;
    pane.Refresh();
    EXPECT_TRUE(captured.empty());
    pane.speechEnabled = true;
    pane.Refresh();
    EXPECT_EQ(captured.size(), 1u);
}

TEST_F(SpeechFixture, NoSpeakerNoMessageNoWait)
{
    AddRows();
    pane.speechEnabled = true;
    EXPECT_FALSE(SpeakText("150.10"));
    auto start = std::chrono::steady_clock::now();
    pane.Refresh();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST_F(SpeechFixture, TheStandinLogsEachMessageItTakes)
{
    std::string log = TempLogPath("speech");
    Standin standin({log});
    ASSERT_TRUE(standin.WaitForWindow());
    AddRows();

    pane.speechEnabled = false;
    pane.Refresh();
    pane.speechEnabled = true;
    pane.Refresh();  // the send is synchronous: logged once it returns
    pane.selected = 1;
    pane.Refresh();
    EXPECT_EQ(ReadLines(log), (std::vector<std::string>{"Speak 150.10/150.13", "Speak 1.0850/1.0852"}));

    // Anything but the one request is refused and leaves no line.
    HWND window = FindWindowA(names::kSpeechWindowClass, nullptr);
    wchar_t wrong[] = L"Shout 1.0850";
    COPYDATASTRUCT data{1, sizeof wrong, wrong};
    DWORD_PTR answer = 1;
    ASSERT_NE(SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000,
                                  &answer),
              0);
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(FALSE));
    EXPECT_EQ(ReadLines(log).size(), 2u);
    DeleteFileA(log.c_str());
}

TEST_F(SpeechFixture, AHungSpeakerHoldsRefreshUpForAboutTwoSecondsAtMost)
{
    std::string log = TempLogPath("hang");
    Standin standin({"--hang", log});
    ASSERT_TRUE(standin.WaitForWindow());
    AddRows();
    pane.speechEnabled = true;
    auto start = std::chrono::steady_clock::now();
    pane.Refresh();
    auto first = std::chrono::steady_clock::now() - start;
    pane.Refresh();  // still hung: no longer than the first time
    auto both = std::chrono::steady_clock::now() - start;
    EXPECT_LT(first, 5s);
    EXPECT_LT(both, 10s);
    EXPECT_TRUE(ReadLines(log).empty());
    standin.Kill();
    DeleteFileA(log.c_str());
}

}  // namespace
