#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

// What the system voice's thread needs of a speech engine. Made, used and
// destroyed on that one thread, inside its COM apartment.
class VoiceEngine {
public:
    virtual ~VoiceEngine() = default;

    // Starts saying `words`, cutting off anything still being said, and
    // returns at once. A failure means the engine will not speak.
    virtual HRESULT Speak(const std::wstring& words) = 0;
    // Stops whatever is being said, at once.
    virtual void Silence() = 0;
    // Signalled once the engine has said everything it was given; owned by
    // the engine. Null when the engine cannot tell.
    virtual HANDLE Finished() = 0;
};

// Makes an engine on the calling thread; on failure gives null and sets
// `failure` to the reason.
using VoiceEngineMaker = std::function<std::unique_ptr<VoiceEngine>(HRESULT& failure)>;

// The system's own voice: SAPI's ISpVoice. Needs COM on the calling thread.
std::unique_ptr<VoiceEngine> MakeSapiVoice(HRESULT& failure);
