#pragma once
#include <string>

// The clipboard's text (CF_TEXT) as a user would paste it; "<not opened>"
// when another window holds the clipboard. Windows only (qb_test_windows).
std::string ClipboardText();
