#pragma once
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

#include <string>

// The tray balloon that shows alert messages. Its text field holds 255
// characters: messages that come together share one balloon, one a line,
// and those that no longer fit are left out (speech has said them).
constexpr size_t BalloonTextLength = 255;

// Adds `message` as a new line of `pending` if the whole of it fits.
void AppendBalloonLine(std::string& pending, const std::string& message);

// The record that shows `text` under `title` as a balloon of the tray icon
// `icon` (a NIM_MODIFY record: the balloon fields need the second-generation
// size, whatever size the icon was added with).
NOTIFYICONDATAA AlertBalloon(const NOTIFYICONDATAA& icon, const std::string& text, const std::string& title);
