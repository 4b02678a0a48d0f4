#pragma once
#include <string>
#include <vector>

// The two text routines that prepare a downloaded rate list. Both work on
// byte strings and never look at what the bytes mean.

// Replaces every occurrence of `pattern` in `text`, scanning left to right
// without backing up: a replacement is never searched again, so a
// replacement that contains the pattern cannot loop. An empty pattern
// leaves the text as it is. Returns `text`.
std::string& ReplaceAll(std::string& text, const std::string& pattern, const std::string& replacement);

// Cuts `text` at every occurrence of `separator` (matched as a whole text).
// n separators give n + 1 fields; empty fields stay, an empty text gives one
// empty field. An empty separator occurs nowhere, so the result is `text`
// as its only field.
std::vector<std::string> Split(const std::string& text, const std::string& separator);
