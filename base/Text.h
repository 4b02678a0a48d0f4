#pragma once
#include <string>
#include <string_view>

// ASCII-only case folding: header names, URL schemes and settings values are
// ASCII by definition, and the C library's tolower would follow the locale.
char LowerAscii(char c);
std::string LowerAscii(std::string_view text);

// True when `a` and `b` hold the same letters, ignoring ASCII case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// True when `text` begins with `prefix`, ignoring ASCII case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// Space, tab, CR or LF: what settings values and documents may be padded with.
bool IsAsciiSpace(char c);
// `text` without the IsAsciiSpace characters at either end.
std::string_view TrimSpace(std::string_view text);
// `text` without the spaces and tabs at either end (HTTP's optional white space).
std::string_view TrimBlanks(std::string_view text);
