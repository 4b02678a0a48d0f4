#pragma once
#include "display/SpeechSlot.h"
#include "display/VoiceEngine.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// The system's own text-to-speech voice, on a thread of its own: the engine
// is made there once (inside that thread's COM apartment) and kept, and it
// speaks asynchronously, so no caller ever waits for speech. One text waits
// at most (SpeechSlot): a newer one takes its place, and the voice says the
// newest once it has finished the text it is saying.
//
// A voice that cannot be made or will not speak is reported once, through
// the problem handler, and then left alone: later texts are dropped until
// Retry. Close silences the voice and ends its thread without holding the
// caller up.
class SystemVoice {
public:
    // Called on the voice's thread once per failure; must not block (post a
    // message). Problem() says what went wrong.
    using ProblemHandler = std::function<void()>;

    // Close waits this long for the thread to end. An engine stuck inside a
    // call is left to the end of the process rather than holding up a close.
    static constexpr DWORD CloseWaitMs = 1000;

    explicit SystemVoice(VoiceEngineMaker maker = MakeSapiVoice);
    ~SystemVoice();
    SystemVoice(const SystemVoice&) = delete;
    SystemVoice& operator=(const SystemVoice&) = delete;

    // Any thread; replaces a handler set before.
    void OnProblem(ProblemHandler handler);

    // Has `text` (ANSI code page) said when the voice is free; returns at
    // once. Starts the voice's thread the first time. Ignored after a
    // failure until Retry, and after Close.
    void Say(const std::string& text);
    // Drops the waiting text and cuts off the one being said.
    void Silence();
    // After a failure: the next text tries the voice again (made anew if it
    // could not be made). Drops a text still waiting from before and
    // forgets the reported problem.
    void Retry();
    // Drops the waiting text, stops speech at once and ends the thread.
    // Nothing is said or reported afterwards.
    void Close();

    // What went wrong, in words; empty while nothing has.
    std::string Problem() const;
    // How often the engine was asked to speak, and its last answer (S_OK
    // before the first).
    unsigned SpeakCalls() const;
    HRESULT LastResult() const;

private:
    struct Shared;
    static void RunVoice(const std::shared_ptr<Shared>& shared);

    // Shared with the thread, which may outlive this object after a Close
    // that stopped waiting for it.
    std::shared_ptr<Shared> shared;
    std::mutex threadLock;  // guards `thread` (Say starts it on any thread)
    std::thread thread;
};
