#include "window/BaseWindow.h"
#include "window/Thread.h"

#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using std::chrono::milliseconds;

// What the worker did, kept outside the Thread object so that it can be read
// after the object is gone.
struct Record {
    std::atomic<int> starts{0};
    std::atomic<int> ends{0};
    std::atomic<int> sawStopRequested{-1};  // stopRequested as the latest Run found it on entry
    std::atomic<unsigned> lastThreadId{0};
};

enum class Body {
    WaitForStop,      // blocks in WaitForStop until asked to stop
    PollFlag,         // polls stopRequested between short waits on another object
    IgnoreFlag,       // blocks on an event nobody sets, for far longer than the grace period
    StopItself,       // asks for its own stop, then returns
    WaitShort,        // one WaitForStop with a short limit, whose answer is kept
};

class Worker : public Thread {
public:
    Worker(Record& record, Body body) : record_(record), body_(body) {}
    ~Worker() override { Stop(); }

    uint32_t Run() override
    {
        record_.sawStopRequested = stopRequested ? 1 : 0;
        record_.lastThreadId = GetCurrentThreadId();
        ++record_.starts;
        uint32_t code = 7;
        switch (body_) {
        case Body::WaitForStop:
            WaitForStop(INFINITE);
            break;
        case Body::PollFlag:
            while (!stopRequested)
                WaitForSingleObject(never_.Get(), 2);
            break;
        case Body::IgnoreFlag:
            WaitForSingleObject(never_.Get(), 120000);
            break;
        case Body::StopItself:
            Stop();
            code = stopRequested ? 8 : 9;
            break;
        case Body::WaitShort:
            shortWaitAnswer = WaitForStop(20) ? 1 : 0;
            WaitForStop(INFINITE);
            break;
        }
        ++record_.ends;
        return code;
    }

    std::atomic<int> shortWaitAnswer{-1};

private:
    Record& record_;
    Body body_;
    UniqueHandle never_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

// A handle of our own on the worker, to see how it ended.
HANDLE OpenWorker(const Thread& thread) { return OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, thread.threadId); }

DWORD ExitCodeOf(HANDLE thread)
{
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    return code;
}

bool WaitForStarts(const Record& record, int count)
{
    return WaitUntil([&] { return record.starts.load() >= count; }, milliseconds(10000));
}

TEST(Thread, StopOnAnIdleObjectReturnsAtOnce)
{
    Record record;
    Worker worker(record, Body::WaitForStop);
    EXPECT_TRUE(worker.stopRequested);
    DWORD start = GetTickCount();
    worker.Stop();
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_FALSE(worker.runHandle);
    EXPECT_FALSE(worker.creationHandle);
    EXPECT_EQ(record.starts, 0);
}

TEST(Thread, StartRunsTheBodyWithTheFlagClearedAtHighestPriority)
{
    Record record;
    Worker worker(record, Body::WaitForStop);
    EXPECT_EQ(worker.priority, THREAD_PRIORITY_HIGHEST);
    EXPECT_EQ(worker.Start(), 1u);  // the previous suspend count
    ASSERT_TRUE(WaitForStarts(record, 1));
    EXPECT_EQ(record.sawStopRequested, 0);
    EXPECT_EQ(record.lastThreadId, worker.threadId);
    EXPECT_TRUE(worker.runHandle);
    EXPECT_EQ(GetThreadPriority(worker.runHandle.Get()), THREAD_PRIORITY_HIGHEST);
    worker.Stop();
    EXPECT_EQ(record.ends, 1);
}

TEST(Thread, StartOnARunningObjectEndsTheOldThreadAndStartsANewOne)
{
    Record record;
    Worker worker(record, Body::WaitForStop);
    worker.Start();
    ASSERT_TRUE(WaitForStarts(record, 1));
    unsigned first = record.lastThreadId;
    HANDLE old = OpenWorker(worker);

    worker.Start();
    EXPECT_EQ(WaitForSingleObject(old, 0), WAIT_OBJECT_0) << "the first thread still runs";
    EXPECT_EQ(ExitCodeOf(old), 7u);  // it returned; it was not terminated
    CloseHandle(old);
    ASSERT_TRUE(WaitForStarts(record, 2));
    EXPECT_NE(record.lastThreadId, first);
    EXPECT_EQ(record.sawStopRequested, 0);
    EXPECT_FALSE(worker.stopRequested);
    worker.Stop();
    EXPECT_EQ(record.ends, 2);
}

TEST(Thread, RunsThatWatchTheFlagEndPromptly)
{
    for (Body body : {Body::WaitForStop, Body::PollFlag}) {
        Record record;
        Worker worker(record, body);
        worker.Start();
        ASSERT_TRUE(WaitForStarts(record, 1));
        HANDLE thread = OpenWorker(worker);
        DWORD start = GetTickCount();
        worker.Stop();
        // Far below the grace period, with room for a loaded machine.
        EXPECT_LT(GetTickCount() - start, 3000u);
        EXPECT_EQ(ExitCodeOf(thread), 7u);
        EXPECT_EQ(record.ends, 1);
        CloseHandle(thread);
    }
}

TEST(Thread, WaitForStopAnswersWhetherAStopCame)
{
    Record record;
    Worker worker(record, Body::WaitShort);
    worker.Start();
    ASSERT_TRUE(WaitUntil([&] { return worker.shortWaitAnswer.load() != -1; }, milliseconds(10000)));
    EXPECT_EQ(worker.shortWaitAnswer, 0);  // the time passed without a stop
    worker.Stop();
    EXPECT_EQ(record.ends, 1);
    EXPECT_TRUE(worker.WaitForStop(0));  // stopped objects answer at once
    EXPECT_EQ(worker.StopFlag(), &worker.stopRequested);
}

TEST(Thread, ARunThatReturnedOnItsOwnIsOnlyReleased)
{
    Record record;
    Worker worker(record, Body::StopItself);
    worker.Start();
    ASSERT_TRUE(WaitUntil([&] { return record.ends.load() == 1; }, milliseconds(10000)));
    HANDLE thread = OpenWorker(worker);
    DWORD start = GetTickCount();
    worker.Stop();
    EXPECT_LT(GetTickCount() - start, 3000u);
    // Its own Stop neither waited for itself nor terminated it.
    EXPECT_EQ(ExitCodeOf(thread), 8u);
    EXPECT_FALSE(worker.runHandle);
    CloseHandle(thread);
}

TEST(Thread, TheDestructorOfARunningObjectStopsIt)
{
    Record record;
    HANDLE thread = nullptr;
    {
        Worker worker(record, Body::WaitForStop);
        worker.Start();
        ASSERT_TRUE(WaitForStarts(record, 1));
        thread = OpenWorker(worker);
    }
    EXPECT_EQ(record.ends, 1);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeOf(thread), 7u);
    CloseHandle(thread);
}

// A window of the controlling thread that counts what is dispatched to it.
class Mailbox : public BaseWindow {
public:
    LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_APP + 1)
            ++posted;
        if (message == WM_APP + 2) {
            ++sent;
            return 55;
        }
        if (message == WM_APP + 3) {
            if (reentered != nullptr)
                restartAnswer = (reentered->Stop(), reentered->Start());
            SetEvent(reinterpret_cast<HANDLE>(lParam));
        }
        return BaseWindow::DefaultProc(hwnd, message, wParam, lParam);
    }
    std::atomic<int> posted{0};
    std::atomic<int> sent{0};
    Thread* reentered = nullptr;  // Stop and Start are called on it from WM_APP + 3
    uint32_t restartAnswer = 99;
};

// Runs until the controlling thread dispatches the message that lets it go.
class Held : public Thread {
public:
    explicit Held(HANDLE releaseEvent) : release_(releaseEvent) {}
    ~Held() override { Stop(); }
    uint32_t Run() override { return WaitForSingleObject(release_, 60000); }

private:
    HANDLE release_;
};

class StopWhileHeld : public ::testing::Test {
protected:
    void SetUp() override
    {
        mailbox.RegisterWindowClass("QbHeldMailbox", nullptr, 0);
        ASSERT_TRUE(mailbox.Create());
        worker.Start();
        PostMessageA(mailbox.window, WM_APP + 3, 0, reinterpret_cast<LPARAM>(release.Get()));
    }

    Mailbox mailbox;
    UniqueHandle release{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    Held worker{release.Get()};
};

TEST_F(StopWhileHeld, AQuitMessageTakenWhileStoppingIsPutBack)
{
    PostQuitMessage(42);  // queued behind the message that releases the worker
    worker.Stop();
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 42u);
}

TEST_F(StopWhileHeld, StopAndStartFromADispatchedMessageLeaveTheWaitToTheOuterStop)
{
    mailbox.reentered = &worker;
    DWORD start = GetTickCount();
    worker.Stop();
    EXPECT_LT(GetTickCount() - start, 5000u);  // not a grace period spent in a nested wait
    EXPECT_EQ(mailbox.restartAnswer, 0u);      // no new thread while the old one is being stopped
    EXPECT_FALSE(worker.runHandle);
    EXPECT_TRUE(worker.stopRequested);
}

// The one slow test: a worker that ignores its flag is ended after the grace
// period, and the controlling thread's messages keep flowing meanwhile.
TEST(Thread, ARunThatIgnoresTheFlagIsEndedAfterTheGracePeriodWhileMessagesFlow)
{
    Mailbox mailbox;
    mailbox.RegisterWindowClass("QbStopMailbox", nullptr, 0);
    ASSERT_TRUE(mailbox.Create());
    HWND target = mailbox.window;

    Record record;
    Worker worker(record, Body::IgnoreFlag);
    worker.Start();
    ASSERT_TRUE(WaitForStarts(record, 1));
    HANDLE thread = OpenWorker(worker);

    // Once Stop is waiting, another thread posts to and sends to our window.
    std::atomic<LRESULT> answer{0};
    std::thread sender([&] {
        if (!WaitUntil([&] { return worker.stopRequested.load(); }, milliseconds(10000)))
            return;
        PostMessageA(target, WM_APP + 1, 0, 0);
        answer = SendMessageA(target, WM_APP + 2, 0, 0);  // returns only once dispatched
        PostMessageA(target, WM_APP + 1, 0, 0);
    });

    DWORD start = GetTickCount();
    worker.Stop();
    DWORD elapsed = GetTickCount() - start;
    sender.join();

    EXPECT_GE(elapsed, Thread::StopGraceMilliseconds - 100);
    EXPECT_LT(elapsed, Thread::StopGraceMilliseconds + 10000);
    EXPECT_EQ(mailbox.sent, 1);
    EXPECT_EQ(answer, 55);
    EXPECT_EQ(mailbox.posted, 2);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    EXPECT_EQ(record.ends, 0);  // terminated, not returned
    EXPECT_FALSE(worker.runHandle);
    CloseHandle(thread);
}

}  // namespace

namespace {

// Waits on a second event beside the stop, as the rate worker waits for
// "&Update now", and counts how each wait ended.
class WakeableWorker : public Thread {
public:
    ~WakeableWorker() override { Stop(); }
    uint32_t Run() override
    {
        for (;;) {
            Wake woken = WaitForStopOr(poke.Get(), limitMs);
            if (woken == Wake::Stop)
                return 0;
            ++(woken == Wake::Other ? poked : timedOut);
        }
    }

    UniqueHandle poke{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    std::atomic<uint32_t> limitMs{INFINITE};
    std::atomic<int> poked{0};
    std::atomic<int> timedOut{0};
};

TEST(Thread, WaitForStopOrWakesForTheOtherEventTheStopAndTheTime)
{
    WakeableWorker worker;
    worker.Start();
    for (int i = 1; i <= 3; ++i) {
        SetEvent(worker.poke.Get());
        ASSERT_TRUE(WaitUntil([&] { return worker.poked.load() == i; }, milliseconds(5000))) << i;
    }
    EXPECT_EQ(worker.timedOut.load(), 0);

    // A stop wins even with the other event set as well.
    SetEvent(worker.poke.Get());
    DWORD start = GetTickCount();
    worker.Stop();
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_FALSE(worker.runHandle);

    worker.limitMs = 20;
    worker.Start();
    ASSERT_TRUE(WaitUntil([&] { return worker.timedOut.load() >= 2; }, milliseconds(5000)));
    worker.Stop();
}

}  // namespace
