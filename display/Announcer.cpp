#include "display/Announcer.h"

#include "display/RateSpeech.h"

Announcer::Announcer(VoiceEngineMaker maker) : voice(std::move(maker)) {}

Announcer::Route Announcer::Announce(const std::string& text)
{
    if (SpeakText(text))
        return Route::SpeechProgram;
    voice.Say(text);
    return Route::SystemVoice;
}

void Announcer::SpeechSwitchedOn()
{
    voice.Retry();
}

void Announcer::SpeechSwitchedOff()
{
    voice.Silence();
}

void Announcer::Close()
{
    voice.Close();
}
