#pragma once
#include "base/Names.h"
#include "rates/FXRate.h"

#include <windows.h>

#include <string>

// The speech program is a separate process that owns a top-level window of
// class names::kSpeechWindowClass and takes one WM_COPYDATA message per
// announcement.
// Longest wait for the speech program to take one message: a hung or busy
// speaker must not hold up the update cycle for longer than this.
constexpr UINT speechTimeoutMs = 2000;

// `text` converted from the ANSI code page to UTF-16.
std::wstring AnsiToWide(const std::string& text);

// The message text: "Speak", then, when `text` is not empty, a space and
// `text` converted from the ANSI code page to UTF-16.
std::wstring SpeechMessage(const std::string& text);

// Hands `text` to the speech program when one is running. True when the
// message was delivered and answered within speechTimeoutMs; the answer
// itself is not examined.
bool SpeakText(const std::string& text);

// Speaks the record's price text, exactly as the rate pane shows it.
void SpeakRate(const FXRate& record);
