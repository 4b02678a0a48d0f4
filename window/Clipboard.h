#pragma once
#include <windows.h>

#include <string>

// Puts `text` (ANSI) on the clipboard as CF_TEXT, replacing what was there,
// with `owner` as the clipboard's owner. False when the clipboard could not
// be opened (another program holds it) or the memory not had; the clipboard
// is closed again either way.
bool PutClipboardText(HWND owner, const std::string& text);
