#pragma once
#include <string>

// printf-style formatting into a string of whatever length the result takes
// (texts from the network have no fixed bound, so no fixed buffer either).
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
