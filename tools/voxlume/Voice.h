#pragma once
#include <string>

struct ISpVoice;

// The system's text-to-speech voice (SAPI), where there is one. Without it
// (no speech engine installed, as under Wine) Speak does nothing.
class Voice {
public:
    Voice();
    ~Voice();
    Voice(const Voice&) = delete;
    Voice& operator=(const Voice&) = delete;

    bool Available() const { return voice != nullptr; }

    // Starts saying `words` and returns at once; a new text interrupts the
    // one still being said.
    void Speak(const std::wstring& words);

private:
    bool comStarted = false;
    ISpVoice* voice = nullptr;  // owned: released in the destructor
};
