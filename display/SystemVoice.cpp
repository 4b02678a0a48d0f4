#include "display/SystemVoice.h"

#include "display/RateSpeech.h"
#include "window/UniqueHandle.h"

#include <objbase.h>

#include <atomic>
#include <cstdio>

struct SystemVoice::Shared {
    explicit Shared(VoiceEngineMaker engineMaker)
        : maker(std::move(engineMaker)), wake(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
          ended(CreateEventA(nullptr, TRUE, FALSE, nullptr))
    {
    }

    // Only the voice's thread calls it.
    const VoiceEngineMaker maker;
    SpeechSlot slot;
    UniqueHandle wake;   // owned, auto-reset: a text arrived or a request below was made
    UniqueHandle ended;  // owned, manual reset: the thread has let go of the engine and COM
    std::atomic<bool> silence{false};
    std::atomic<bool> retry{false};
    std::atomic<bool> closing{false};

    // Everything below is guarded by `lock`.
    mutable std::mutex lock;
    ProblemHandler onProblem;
    std::string problem;
    unsigned speakCalls = 0;
    HRESULT lastResult = S_OK;

    void Wake() { SetEvent(wake.Get()); }

    void Record(HRESULT result, bool spoke)
    {
        std::lock_guard<std::mutex> held(lock);
        lastResult = result;
        if (spoke)
            ++speakCalls;
    }

    // Under the lock, so that once Close has taken the handler away no
    // report can still be on its way.
    void Report(const char* what, HRESULT why)
    {
        char text[96];
        std::snprintf(text, sizeof text, "%s (0x%08lX)", what, static_cast<unsigned long>(why));
        std::lock_guard<std::mutex> held(lock);
        if (closing)
            return;
        problem = text;
        if (onProblem)
            onProblem();
    }
};

namespace {

// A COM apartment for the calling thread, left when the thread is done.
class ComApartment {
public:
    ComApartment() : joined(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment()
    {
        if (joined)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool joined;
};

// A single-threaded apartment must keep its messages flowing while it waits.
void DispatchWaitingMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool Signalled(HANDLE event)
{
    return event != nullptr && WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

}  // namespace

SystemVoice::SystemVoice(VoiceEngineMaker maker) : shared(std::make_shared<Shared>(std::move(maker))) {}

SystemVoice::~SystemVoice()
{
    Close();
}

void SystemVoice::OnProblem(ProblemHandler handler)
{
    std::lock_guard<std::mutex> held(shared->lock);
    shared->onProblem = std::move(handler);
}

void SystemVoice::Say(const std::string& text)
{
    if (shared->closing || !shared->slot.Put(text))
        return;
    {
        std::lock_guard<std::mutex> held(threadLock);
        if (!thread.joinable() && !shared->closing)
            thread = std::thread(RunVoice, shared);
    }
    shared->Wake();
}

void SystemVoice::Silence()
{
    shared->slot.Clear();
    shared->silence = true;
    shared->Wake();
}

void SystemVoice::Retry()
{
    // A text from before the retry is stale; the clear comes before the
    // flag, so the thread cannot take it as the first of the new attempt.
    shared->slot.Clear();
    {
        std::lock_guard<std::mutex> held(shared->lock);
        shared->problem.clear();
    }
    shared->retry = true;
    shared->Wake();
}

void SystemVoice::Close()
{
    {
        std::lock_guard<std::mutex> held(shared->lock);
        shared->closing = true;
        shared->onProblem = nullptr;
    }
    shared->slot.Stop();
    shared->Wake();
    std::lock_guard<std::mutex> held(threadLock);
    if (!thread.joinable())
        return;
    if (WaitForSingleObject(shared->ended.Get(), CloseWaitMs) == WAIT_OBJECT_0)
        thread.join();
    else
        thread.detach();  // it holds its own share of the state
}

std::string SystemVoice::Problem() const
{
    std::lock_guard<std::mutex> held(shared->lock);
    return shared->problem;
}

unsigned SystemVoice::SpeakCalls() const
{
    std::lock_guard<std::mutex> held(shared->lock);
    return shared->speakCalls;
}

HRESULT SystemVoice::LastResult() const
{
    std::lock_guard<std::mutex> held(shared->lock);
    return shared->lastResult;
}

void SystemVoice::RunVoice(const std::shared_ptr<Shared>& shared)
{
    Shared& s = *shared;
    {
        ComApartment apartment;
        std::unique_ptr<VoiceEngine> engine;  // made at the first text, kept until the thread ends
        bool failed = false;
        bool speaking = false;
        while (!s.closing) {
            HANDLE finished = speaking ? engine->Finished() : nullptr;
            HANDLE events[2] = {s.wake.Get(), finished};
            MsgWaitForMultipleObjects(finished != nullptr ? 2 : 1, events, FALSE, INFINITE, QS_ALLINPUT);
            DispatchWaitingMessages();
            if (s.closing)
                break;
            if (s.silence.exchange(false) && engine) {
                engine->Silence();
                speaking = false;
            }
            if (s.retry.exchange(false))
                failed = false;
            // The text being said is finished first; meanwhile newer texts
            // replace each other in the slot.
            if (speaking && !Signalled(finished))
                continue;
            speaking = false;
            std::optional<std::string> text = s.slot.Take();
            if (!text || failed)
                continue;
            if (!engine) {
                HRESULT why = E_FAIL;
                engine = s.maker(why);
                if (!engine) {
                    failed = true;
                    s.Record(why, false);
                    s.Report("no system voice could be made", why);
                    continue;
                }
            }
            HRESULT said = engine->Speak(AnsiToWide(*text));
            s.Record(said, true);
            if (FAILED(said)) {
                failed = true;
                s.Report("the system voice would not speak", said);
                continue;
            }
            speaking = engine->Finished() != nullptr;
        }
        if (engine)
            engine->Silence();
        engine.reset();  // before COM is left
    }
    SetEvent(s.ended.Get());
}
