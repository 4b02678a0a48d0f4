#pragma once
#include <windows.h>

#include <optional>
#include <string>

// The one message the speech program takes: WM_COPYDATA tagged
// names::kSpeechRequestTag and a UTF-16 text "Speak", optionally followed by a space and the words, whose
// terminator lies within cbData. Anything else is refused.
constexpr DWORD largestSpeechRequest = 64 * 1024;  // bytes, terminator included

struct SpeechRequest {
    std::wstring message;  // the whole text, "Speak" included
    std::wstring words;    // what is to be said: the text after "Speak "
};

// Reads a received WM_COPYDATA; nothing when it is not a well-formed request.
// Only reads the cbData bytes the sender declared.
std::optional<SpeechRequest> ReadSpeechRequest(const COPYDATASTRUCT& data);

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(const std::wstring& text);
