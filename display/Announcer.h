#pragma once
#include "display/SystemVoice.h"

#include <string>

// Where a spoken text goes: to the speech program's "Voxlume" window when
// one answers (the message exactly as SpeakText sends it), otherwise to the
// system's own voice. Every announcement takes this one road.
class Announcer {
public:
    enum class Route { SpeechProgram, SystemVoice };

    explicit Announcer(VoiceEngineMaker maker = MakeSapiVoice);

    // Any thread. Waits at most speechTimeoutMs for a speech program; the
    // system voice never makes it wait.
    Route Announce(const std::string& text);

    // Speech switched on: a voice that failed before gets another try.
    void SpeechSwitchedOn();
    // Speech switched off: the system voice stops at once.
    void SpeechSwitchedOff();
    // The program is closing: the system voice stops and its thread ends.
    void Close();

    SystemVoice& Voice() { return voice; }

private:
    SystemVoice voice;
};
