// The system voice on its own thread, with an engine the test controls (to
// see the order of texts, a failure, a long text being said) and with the
// real one (SAPI; under Wine 8 a stub that refuses to speak), and the road
// an announcement takes with and without a speech program's window.
#include "base/Names.h"
#include "display/Announcer.h"
#include "display/RateSpeech.h"
#include "tests/support/Wait.h"
#include "window/UniqueHandle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// What the test's engine was asked to do, shared with the test.
struct EngineLog {
    std::mutex lock;
    std::vector<std::wstring> spoken;
    int made = 0;
    int silenced = 0;
    bool destroyed = false;
    HRESULT answer = S_OK;                                             // what Speak answers
    bool hang = false;                                                 // Speak blocks until `release` is set
    UniqueHandle finished{CreateEventA(nullptr, TRUE, TRUE, nullptr)};  // reset while "speaking"
    UniqueHandle release{CreateEventA(nullptr, TRUE, FALSE, nullptr)};

    size_t Spoken()
    {
        std::lock_guard<std::mutex> held(lock);
        return spoken.size();
    }
};

class TestEngine : public VoiceEngine {
public:
    explicit TestEngine(std::shared_ptr<EngineLog> shared) : log(std::move(shared)) {}
    ~TestEngine() override
    {
        std::lock_guard<std::mutex> held(log->lock);
        log->destroyed = true;
    }
    HRESULT Speak(const std::wstring& words) override
    {
        std::unique_lock<std::mutex> held(log->lock);
        bool hang = log->hang;
        HRESULT answer = log->answer;
        // A long text: said until the test ends it. Reset before the text is
        // seen, so that a test reacting to it cannot end it too early.
        if (SUCCEEDED(answer))
            ResetEvent(log->finished.Get());
        log->spoken.push_back(words);
        held.unlock();
        if (hang)
            WaitForSingleObject(log->release.Get(), INFINITE);
        return answer;
    }
    void Silence() override
    {
        std::lock_guard<std::mutex> held(log->lock);
        ++log->silenced;
        SetEvent(log->finished.Get());
    }
    HANDLE Finished() override { return log->finished.Get(); }

private:
    std::shared_ptr<EngineLog> log;
};

VoiceEngineMaker MakerFor(const std::shared_ptr<EngineLog>& log)
{
    return [log](HRESULT& failure) -> std::unique_ptr<VoiceEngine> {
        std::lock_guard<std::mutex> held(log->lock);
        ++log->made;
        failure = S_OK;
        return std::make_unique<TestEngine>(log);
    };
}

double MsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

struct SystemVoiceFixture : ::testing::Test {
    std::shared_ptr<EngineLog> log = std::make_shared<EngineLog>();
    std::atomic<int> problems{0};

    void SetUp() override
    {
        ASSERT_TRUE(WaitUntil([] { return FindWindowA(names::kSpeechWindowClass, nullptr) == nullptr; }, 30s))
            << "another speech window stays open";
    }
    void Watch(SystemVoice& voice)
    {
        voice.OnProblem([this] { ++problems; });
    }
};

TEST_F(SystemVoiceFixture, TheNewestTextIsSaidOnceTheVoiceIsFree)
{
    SystemVoice voice(MakerFor(log));
    voice.Say("1.0842");
    ASSERT_TRUE(WaitUntil([&] { return log->Spoken() == 1; }, 10s));
    // Still saying the first: the next ones replace each other.
    voice.Say("1.0843");
    voice.Say("1.0844");
    voice.Say("1.0845");
    SetEvent(log->finished.Get());
    ASSERT_TRUE(WaitUntil([&] { return log->Spoken() == 2; }, 10s));
    SetEvent(log->finished.Get());
    voice.Close();
    std::lock_guard<std::mutex> held(log->lock);
    EXPECT_EQ(log->spoken, (std::vector<std::wstring>{L"1.0842", L"1.0845"}));
    EXPECT_EQ(log->made, 1) << "made once and kept";
    EXPECT_EQ(voice.SpeakCalls(), 2u);
}

TEST_F(SystemVoiceFixture, ClosingWhileALongTextIsSaidSilencesAndEndsAtOnce)
{
    SystemVoice voice(MakerFor(log));
    voice.Say(std::string(3000, 'x'));
    ASSERT_TRUE(WaitUntil([&] { return log->Spoken() == 1; }, 10s));
    voice.Say("waiting");
    auto start = std::chrono::steady_clock::now();
    voice.Close();
    double closeMs = MsSince(start);
    {
        std::lock_guard<std::mutex> held(log->lock);
        EXPECT_GE(log->silenced, 1);
        EXPECT_TRUE(log->destroyed) << "the thread let go of the engine before Close returned";
        EXPECT_EQ(log->spoken.size(), 1u) << "the waiting text is not said";
    }
    EXPECT_LT(closeMs, static_cast<double>(SystemVoice::CloseWaitMs)) << "ended, not given up on";
    voice.Say("after close");
    EXPECT_EQ(voice.SpeakCalls(), 1u);
}

TEST_F(SystemVoiceFixture, AnEngineStuckInACallDoesNotHoldUpTheClose)
{
    log->hang = true;
    auto voice = std::make_unique<SystemVoice>(MakerFor(log));
    voice->Say("stuck");
    ASSERT_TRUE(WaitUntil([&] { return log->Spoken() == 1; }, 10s));
    auto start = std::chrono::steady_clock::now();
    voice.reset();
    double closeMs = MsSince(start);
    EXPECT_LT(closeMs, SystemVoice::CloseWaitMs + 2000.0);
    // Let the abandoned thread finish; it holds its own share of the state.
    SetEvent(log->release.Get());
    EXPECT_TRUE(WaitUntil(
        [&] {
            std::lock_guard<std::mutex> held(log->lock);
            return log->destroyed;
        },
        10s));
}

TEST_F(SystemVoiceFixture, SilenceCutsOffAndDropsTheWaitingText)
{
    SystemVoice voice(MakerFor(log));
    voice.Say("long");
    ASSERT_TRUE(WaitUntil([&] { return log->Spoken() == 1; }, 10s));
    voice.Say("dropped");
    voice.Silence();
    ASSERT_TRUE(WaitUntil(
        [&] {
            std::lock_guard<std::mutex> held(log->lock);
            return log->silenced >= 1;
        },
        10s));
    voice.Say("next");
    ASSERT_TRUE(WaitUntil([&] { return log->Spoken() == 2; }, 10s));
    std::lock_guard<std::mutex> held(log->lock);
    EXPECT_EQ(log->spoken.back(), L"next");
}

TEST_F(SystemVoiceFixture, ARefusalIsReportedOnceAndTriedAgainOnlyAfterRetry)
{
    log->answer = E_NOTIMPL;
    SystemVoice voice(MakerFor(log));
    Watch(voice);
    voice.Say("first");
    ASSERT_TRUE(WaitUntil([&] { return problems == 1; }, 10s));
    EXPECT_EQ(voice.LastResult(), E_NOTIMPL);
    EXPECT_NE(voice.Problem().find("0x80004001"), std::string::npos) << voice.Problem();
    for (const char* text : {"second", "third"})
        voice.Say(text);

    voice.Retry();
    EXPECT_EQ(voice.Problem(), "");
    voice.Say("after retry");
    ASSERT_TRUE(WaitUntil([&] { return problems == 2; }, 10s));
    std::lock_guard<std::mutex> held(log->lock);
    EXPECT_EQ(log->spoken, (std::vector<std::wstring>{L"first", L"after retry"}));
    EXPECT_EQ(log->made, 1);
}

TEST_F(SystemVoiceFixture, AVoiceThatCannotBeMadeIsReportedAndMadeAgainAfterRetry)
{
    std::atomic<int> attempts{0};
    SystemVoice voice([&](HRESULT& failure) -> std::unique_ptr<VoiceEngine> {
        ++attempts;
        failure = REGDB_E_CLASSNOTREG;
        return nullptr;
    });
    Watch(voice);
    voice.Say("first");
    ASSERT_TRUE(WaitUntil([&] { return problems == 1; }, 10s));
    EXPECT_NE(voice.Problem().find("no system voice"), std::string::npos) << voice.Problem();
    EXPECT_EQ(voice.SpeakCalls(), 0u);
    voice.Retry();
    voice.Say("second");
    ASSERT_TRUE(WaitUntil([&] { return problems == 2; }, 10s));
    EXPECT_EQ(attempts.load(), 2);
}

// The real system voice. Under Wine 8 Speak is a stub answering E_NOTIMPL;
// on Windows with a voice installed it speaks. Either way the call is made,
// returns, and a refusal is reported once.
TEST_F(SystemVoiceFixture, WithoutASpeechProgramTheSystemVoiceIsAskedToSpeak)
{
    Announcer announcer;
    Watch(announcer.Voice());
    EXPECT_EQ(announcer.Announce("1.0850/1.0852"), Announcer::Route::SystemVoice);
    ASSERT_TRUE(WaitUntil([&] { return announcer.Voice().SpeakCalls() == 1 || problems > 0; }, 30s));
    EXPECT_EQ(announcer.Voice().SpeakCalls(), 1u) << announcer.Voice().Problem();
    if (FAILED(announcer.Voice().LastResult())) {
        ASSERT_TRUE(WaitUntil([&] { return problems == 1; }, 10s));
        EXPECT_NE(announcer.Voice().Problem(), "");
    }
    std::printf("system voice answered 0x%08lX\n",
                static_cast<unsigned long>(announcer.Voice().LastResult()));
    auto start = std::chrono::steady_clock::now();
    announcer.Close();
    EXPECT_LT(MsSince(start), static_cast<double>(SystemVoice::CloseWaitMs));
}

// A speech program's window in the test itself: it gets the text, and the
// system voice is not even started.
std::atomic<int> programMessages{0};
LRESULT CALLBACK ProgramProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        ++programMessages;
        return TRUE;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(SystemVoiceFixture, WithASpeechProgramTheSystemVoiceIsNotCalled)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ProgramProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = names::kSpeechWindowClass;
    // Another test of this program may have registered the class with its own procedure.
    UnregisterClassA(names::kSpeechWindowClass, windowClass.hInstance);
    ASSERT_NE(RegisterClassExA(&windowClass), 0);
    HWND program = CreateWindowExA(0, names::kSpeechWindowClass, "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                   nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(program, nullptr);
    programMessages = 0;

    Announcer announcer(MakerFor(log));
    EXPECT_EQ(announcer.Announce("1.0850/1.0852"), Announcer::Route::SpeechProgram);
    EXPECT_EQ(announcer.Announce("1.0851/1.0853"), Announcer::Route::SpeechProgram);
    EXPECT_EQ(programMessages.load(), 2);
    DestroyWindow(program);
    UnregisterClassA(names::kSpeechWindowClass, windowClass.hInstance);

    // The program is gone: the next text goes to the system voice.
    EXPECT_EQ(announcer.Announce("1.0852/1.0854"), Announcer::Route::SystemVoice);
    ASSERT_TRUE(WaitUntil([&] { return log->Spoken() == 1; }, 10s));
    announcer.Close();
    std::lock_guard<std::mutex> held(log->lock);
    EXPECT_EQ(log->spoken, (std::vector<std::wstring>{L"1.0852/1.0854"}));
}

}  // namespace
